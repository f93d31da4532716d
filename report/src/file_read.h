// A file read whole into memory, within a bound.
#pragma once
#include <cstddef>
#include <string>

#include "file_error.h"

// More than a daily log ever holds: a day at a 1-second interval with two
// instances writing is about 12 MB.
constexpr size_t DAILY_FILE_LIMIT = 64u << 20;

// Reads the whole file, also what a writer adds while it is read, but never more
// than limit bytes: TooLarge beyond, whether at the open or while reading. bytes
// is empty on failure; its memory is kept for the next file.
FileError ReadWholeFile(const std::string& path, size_t limit, std::string& bytes);
