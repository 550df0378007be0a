// Small text and file helpers shared by the product's programs.
#pragma once

#include <string>
#include <vector>

namespace twx {

// The whole file as bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* bytes);

bool BeginsWith(const std::string& text, const std::string& prefix);

// Lines without their end-of-line characters ("\r\n", "\n" or a lone "\r").
std::vector<std::string> SplitLines(const std::string& text);

// Text with every line ended by "\r\n", as a multi-line edit control wants it.
std::string WithCrLf(const std::string& text);

// The arguments after the program name of a command line, split at blanks
// outside double quotes; the quotes themselves are dropped.
std::vector<std::string> CommandArguments(const char* commandLine);

// The folder that holds the running program, without a trailing backslash.
std::string ProgramFolder();

}  // namespace twx
