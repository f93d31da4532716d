#include "output_sink.h"

namespace {

void HandOn(OutputSink& sink)
{
    if (!sink.failed && !sink.buffer.empty() && !sink.write(sink.buffer)) sink.failed = true;
    sink.buffer.clear();
}

}  // namespace

OutputSink& operator+=(OutputSink& sink, std::string_view text)
{
    if (sink.buffer.capacity() < OUTPUT_CHUNK) sink.buffer.reserve(2 * OUTPUT_CHUNK);
    sink.buffer += text;
    if (sink.buffer.size() >= OUTPUT_CHUNK) HandOn(sink);
    return sink;
}

bool FlushSink(OutputSink& sink)
{
    HandOn(sink);
    return !sink.failed;
}

OutputSink StringSink(std::string& whole)
{
    OutputSink sink;
    sink.write = [&whole](std::string_view piece) {
        whole += piece;
        return true;
    };
    return sink;
}
