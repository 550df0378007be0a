// Whole-file reading and writing for the packer, over the portable file layer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bytes.h"
#include "FileUtils.h"

// Whole files are read by the setup's ReadWholeFile (FileUtils.h): files of
// 2^31 bytes or more are refused, no archive field can describe them. Written
// beside their final name and moved over it when whole, so a failure never
// leaves a partial file under that name and OUT may be an input.
bool WriteWholeFile(const std::string& path, const TBytes& bytes);
// What to tell the user when ReadWholeFile failed: too large, or unreadable.
std::string ReadProblem(const std::string& path);
// Size of a file in bytes, or fallback when it cannot be opened.
int64_t FileSizeOr(const std::string& path, int64_t fallback);

// The path as the portable file layer takes it: "\" as the separator on every
// platform (natively the layer maps it back to "/").
std::string PortablePath(const std::string& path);
// The path with every link resolved, in the platform's own form; "" when it
// cannot be resolved (on Windows a reparse point is not resolved at all).
std::string ResolvedPath(const std::string& path);
// A name for a temporary file in the system's temporary folder, not yet used;
// it has an extension, so the extraction takes it as it stands.
std::string TemporaryFilePath(const std::string& stem);
