// A file written whole or not at all: under a temporary name of this run's own
// beside its final name, then renamed over it. Two runs writing one folder each
// put a whole file of their own in place, never half of one or the other's.
#pragma once
#include <string>
#include <string_view>

#include "file_error.h"
#include "platform.h"

struct ReplacingFile {
    std::string path;       // the final name
    std::string temporary;  // beside it: name.<process id>-<random>.part
    FileHandle file = NO_FILE;
    std::string pending;    // appended but not yet written, less than a block
    FileError error = FileError::None;  // the first failure, which ends the writing
    FileAction failedAt = FileAction::Create;
};

// Makes the temporary; false (with the reason) when it cannot be.
bool BeginReplacing(ReplacingFile& out, const std::string& path, std::string& reason);
// Appends; a failure is kept for CommitReplacing to report, and later appends do nothing.
void AppendReplacing(ReplacingFile& out, std::string_view bytes);
// Puts the file in place; on any failure removes the temporary and gives the reason.
bool CommitReplacing(ReplacingFile& out, std::string& reason);
// Removes the temporary: the content could not be made whole.
void AbandonReplacing(ReplacingFile& out);

// Begin, one append, commit.
bool WriteFileReplacing(const std::string& path, std::string_view bytes, std::string& reason);
