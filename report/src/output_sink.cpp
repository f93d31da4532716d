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

std::string GatherOutput(const std::function<void(OutputSink&)>& write, size_t reserve)
{
    std::string whole;
    whole.reserve(reserve);
    OutputSink sink;
    sink.write = [&whole](std::string_view piece) {
        whole += piece;
        return true;
    };
    write(sink);
    return whole;
}
