// Where a formatter's text goes: gathered in a small buffer and handed on in
// pieces of about OUTPUT_CHUNK bytes, so that no output is held whole.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

constexpr size_t OUTPUT_CHUNK = 64 * 1024;

struct OutputSink {
    // Takes each piece in order (whole UTF-8 sequences, as they were appended);
    // false when it could not, after which the rest is dropped.
    std::function<bool(std::string_view)> write;
    std::string buffer;
    bool failed = false;
};

// Appends text, handing the buffer on once it holds a chunk.
OutputSink& operator+=(OutputSink& sink, std::string_view text);
// Hands on what is left; false if any piece could not be written.
bool FlushSink(OutputSink& sink);
// Everything a writer puts into its sink, as one string, for a caller that
// wants it whole; reserve: about how much there will be.
std::string GatherOutput(const std::function<void(OutputSink&)>& write, size_t reserve = 0);
