// Whole files in and out. The one place that differs between Windows and
// other systems: paths are UTF-8 everywhere else in the report.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

enum class FileError : uint8_t { None, NotFound, Denied, Other };

// Reads the whole file. On Windows the file stays open for others to write
// and delete, so a running StillSentinel keeps appending while it is read.
FileError ReadWholeFile(const std::string& path, std::string& bytes);

// Writes bytes under a temporary name beside path, then renames it over path:
// a failure leaves no half-written file. False with a reason on failure.
bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& reason);

// "does not exist", "permission denied", "cannot be read".
const char* DescribeFileError(FileError error);
