#include "file_read.h"

#include <algorithm>
#include <cstdint>

#include "platform.h"

namespace {

// After the size known at the open: what a writer may have added since.
constexpr size_t GROWTH = 64 * 1024;

}  // namespace

FileError ReadWholeFile(const std::string& path, size_t limit, std::string& bytes)
{
    bytes.clear();
    FileHandle file = NO_FILE;
    uint64_t size = 0;
    FileError result = OpenToRead(path, file, size);
    if (result != FileError::None) return result;
    if (size > limit) {
        CloseFile(file);
        return FileError::TooLarge;
    }
    // One more than the size, so that the first read can already meet the end.
    size_t want = (size_t)size + 1;
    bytes.reserve(want + GROWTH);
    for (;; want = GROWTH) {
        size_t old = bytes.size(), got = 0;
        want = std::min(want, limit + 1 - old);
        bytes.resize(old + want);
        result = ReadFrom(file, bytes.data() + old, want, got);
        bytes.resize(old + got);
        if (result != FileError::None || got == 0) break;
        if (bytes.size() > limit) {
            result = FileError::TooLarge;
            break;
        }
    }
    CloseFile(file);
    if (result != FileError::None) bytes.clear();
    return result;
}
