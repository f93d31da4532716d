#include "line_reader.h"

#include <cstring>

#include "civil_time.h"
#include "log/event_texts.h"
#include "utf8.h"

namespace {

// "YYYY/MM/DD HH:MM:SS - " before the text.
constexpr size_t TEXT_OFFSET = 22;

// The writer appends UTF-16LE to a file that begins FF FE, so such a file is
// UTF-16LE throughout. A lone surrogate becomes U+FFFD; an odd last byte is
// the start of a unit not yet written, and stays out like any unfinished line.
std::string Utf16LeToUtf8(std::string_view bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = (char16_t)((unsigned char)bytes[2 * i] | (unsigned char)bytes[2 * i + 1] << 8);
    std::string out = Utf16ToUtf8(units);
    if (bytes.size() % 2) out += '\x01';  // keeps an unfinished last line unfinished
    return out;
}

// Word at a time: the text is hashed for every line read.
uint64_t HashText(std::string_view text)
{
    uint64_t hash = 0x9E3779B97F4A7C15ull ^ text.size();
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        hash = (hash ^ word) * 0xFF51AFD7ED558CCDull;
        hash ^= hash >> 32;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, text.data() + i, text.size() - i);
    hash = (hash ^ tail) * 0xC4CEB9FE1A85EC53ull;
    return hash ^ (hash >> 29);
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

struct FixedText {
    std::string_view text;
    LineKind kind;
};

const FixedText FIXED_TEXTS[] = {
    {EVENT_TEXT_START, LineKind::Start},
    {EVENT_TEXT_EXIT, LineKind::Exit},
    {EVENT_TEXT_END_LOGOFF, LineKind::EndLogoff},
    {EVENT_TEXT_END_SHUTDOWN, LineKind::EndShutdown},
    {EVENT_TEXT_END_CANCELLED, LineKind::EndCancelled},
    {EVENT_TEXT_SUSPEND, LineKind::Suspend},
    {EVENT_TEXT_RESUME_CRITICAL, LineKind::Resume},
    {EVENT_TEXT_RESUME, LineKind::Resume},
    {EVENT_TEXT_LOGON, LineKind::Logon},
    {EVENT_TEXT_LOGOFF, LineKind::Logoff},
    {EVENT_TEXT_LOCK, LineKind::Lock},
    {EVENT_TEXT_UNLOCK, LineKind::Unlock},
    {EVENT_TEXT_NO_SESSION, LineKind::SessionState},
    {EVENT_TEXT_STATE_FAILED, LineKind::SessionState},
};

}  // namespace

LineKind ClassifyEventText(std::string_view text)
{
    // Both the state's report and its failure begin so; it is most lines.
    static const std::string_view statePrefix = "セッション状態";
    if (StartsWith(text, statePrefix)) return LineKind::SessionState;
    for (const FixedText& fixed : FIXED_TEXTS)
        if (text == fixed.text) return fixed.kind;
    static const std::string_view powerPrefix = EVENT_PREFIX_POWER;
    if (StartsWith(text, powerPrefix)) {
        // The code as the writer forms it: "018" is no resume.
        static const std::string resumeCode = std::to_string(EVENT_POWER_RESUME_AUTOMATIC);
        return text.substr(powerPrefix.size()) == resumeCode ? LineKind::Resume : LineKind::PowerOther;
    }
    if (StartsWith(text, EVENT_PREFIX_SESSION_CHANGE)) return LineKind::SessionChangeOther;
    return LineKind::Unknown;
}

namespace {

// Most lines of a file share their date: it is read once.
struct DateCache {
    char text[10] = {};
    int64_t days = 0;
    bool valid = false;
};

bool ParseLine(std::string_view text, LogLine& out, DateCache& cache)
{
    if (text.size() < TEXT_OFFSET) return false;
    const char* p = text.data();
    if (p[4] != '/' || p[7] != '/' || p[10] != ' ' || p[13] != ':' || p[16] != ':' ||
        std::memcmp(p + 19, " - ", 3) != 0)
        return false;
    if (!cache.valid || std::memcmp(cache.text, p, 10) != 0) {
        if (!ParseDateFields(text.substr(0, 4), text.substr(5, 2), text.substr(8, 2), cache.days)) return false;
        std::memcpy(cache.text, p, 10);
        cache.valid = true;
    }
    int hour, minute, second;
    if (!ParseDigits(text.substr(11, 2), hour) || !ParseDigits(text.substr(14, 2), minute) ||
        !ParseDigits(text.substr(17, 2), second))
        return false;
    if (hour > 23 || minute > 59 || second > 59) return false;
    std::string_view eventText = text.substr(TEXT_OFFSET);
    out.time = cache.days * SECONDS_PER_DAY + hour * 3600 + minute * 60 + second;
    out.kind = ClassifyEventText(eventText);
    out.textHash = HashText(eventText);
    return true;
}

}  // namespace

bool ParseLogLine(std::string_view text, LogLine& out)
{
    DateCache cache;
    return ParseLine(text, out, cache);
}

FileLines ReadLogLines(std::string_view bytes, int64_t fileDay)
{
    std::string converted;
    if (bytes.size() >= 2 && (unsigned char)bytes[0] == 0xFF && (unsigned char)bytes[1] == 0xFE) {
        converted = Utf16LeToUtf8(bytes.substr(2));
        bytes = converted;
    } else if (StartsWith(bytes, UTF8_MARK)) {
        bytes.remove_prefix(UTF8_MARK.size());
    }

    FileLines file;
    file.lines.reserve(bytes.size() / 64 + 1);
    DateCache cache;
    uint32_t number = 0;
    size_t start = 0;
    while (start < bytes.size()) {
        ++number;
        const void* found = std::memchr(bytes.data() + start, '\n', bytes.size() - start);
        if (!found) {
            // The writer always ends its lines: this one is still being written.
            file.tornLine = number;
            break;
        }
        size_t end = (size_t)((const char*)found - bytes.data());
        size_t stop = (end > start && bytes[end - 1] == '\r') ? end - 1 : end;
        LogLine line;
        line.line = number;
        if (!ParseLine(bytes.substr(start, stop - start), line, cache))
            file.badLines.push_back(number);
        else if (cache.days < fileDay - 1 || cache.days > fileDay + 1)
            file.farDated.push_back(number);
        else
            file.lines.push_back(line);
        start = end + 1;
    }
    return file;
}
