#include "file_error.h"

const char* DescribeFileError(FileError error, FileAction action)
{
    switch (error) {
    case FileError::None: return "done";
    case FileError::NotFound: return action == FileAction::List ? "folder does not exist" : "does not exist";
    case FileError::Denied: return action == FileAction::List ? "folder: permission denied" : "permission denied";
    case FileError::NotAFile: return "not a file (a pipe, a device, a folder or a broken link); skipped";
    case FileError::TooLarge: return "larger than 64 MiB, more than a daily log holds; skipped";
    case FileError::IsFolder: return "is a folder";
    case FileError::Exists:
    case FileError::Other: break;
    }
    switch (action) {
    case FileAction::Read: break;
    case FileAction::List: return "folder cannot be listed";
    case FileAction::Create: return "cannot be created";
    case FileAction::Write: return "cannot be written";
    case FileAction::Replace: return "cannot be replaced";
    }
    return "cannot be read";
}
