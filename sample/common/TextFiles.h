// Small text and file helpers shared by the product's programs.
#pragma once

#include <string>
#include <vector>

namespace twx {

// The product's files are small; anything larger than this is not one of them
// and is refused rather than loaded.
const long kMaxFileSize = 16 * 1024 * 1024;

// The whole file as bytes; false when it cannot be opened or read, or when it
// is larger than kMaxFileSize.
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
