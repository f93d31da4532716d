// What went wrong with a file or folder, and how the report says it.
#pragma once
#include <cstdint>

enum class FileError : uint8_t {
    None,
    NotFound,
    Denied,
    NotAFile,  // a pipe, a device, a socket, a folder or a broken link where a file was wanted
    TooLarge,  // more than a daily log can hold
    IsFolder,  // a folder holds the name a file was to take
    Exists,    // a new file's name is taken
    Other,
};

// What was being done when it went wrong, which the words depend on.
enum class FileAction : uint8_t { Read, List, Create, Write, Replace };

// The words after the path: "does not exist", "folder cannot be listed",
// "cannot be written", ...
const char* DescribeFileError(FileError error, FileAction action);
