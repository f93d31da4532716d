#include "utf8.h"

uint32_t ReadCodePoint(std::string_view utf8, size_t* pos)
{
    size_t at = *pos;
    uint8_t lead = (uint8_t)utf8[at];
    if (lead < 0x80) {
        *pos = at + 1;
        return lead;
    }
    // The allowed range of the second byte excludes overlong forms, surrogates
    // and code points past U+10FFFF; later bytes are plain continuations.
    int length = 0;
    uint8_t low = 0x80, high = 0xBF;
    uint32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        *pos = at + 1;
        return MALFORMED_UTF8;
    }
    for (int i = 1; i < length; ++i) {
        if (at + i >= utf8.size()) {
            *pos = at + i;
            return MALFORMED_UTF8;
        }
        uint8_t next = (uint8_t)utf8[at + i];
        if (next < low || next > high) {
            *pos = at + i;
            return MALFORMED_UTF8;
        }
        low = 0x80;
        high = 0xBF;
        value = value << 6 | (next & 0x3Fu);
    }
    *pos = at + length;
    return value;
}

void AppendUtf8(std::string& out, uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += (char)codePoint;
    } else if (codePoint < 0x800) {
        out += (char)(0xC0 | codePoint >> 6);
        out += (char)(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += (char)(0xE0 | codePoint >> 12);
        out += (char)(0x80 | (codePoint >> 6 & 0x3F));
        out += (char)(0x80 | (codePoint & 0x3F));
    } else {
        out += (char)(0xF0 | codePoint >> 18);
        out += (char)(0x80 | (codePoint >> 12 & 0x3F));
        out += (char)(0x80 | (codePoint >> 6 & 0x3F));
        out += (char)(0x80 | (codePoint & 0x3F));
    }
}

std::string MakeValidUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t start = pos;
        uint32_t codePoint = ReadCodePoint(utf8, &pos);
        if (codePoint == MALFORMED_UTF8)
            AppendUtf8(out, REPLACEMENT_CHARACTER);
        else
            out.append(utf8.data() + start, pos - start);
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        uint32_t codePoint = ReadCodePoint(utf8, &pos);
        if (codePoint == MALFORMED_UTF8) codePoint = REPLACEMENT_CHARACTER;
        if (codePoint < 0x10000) {
            out += (char16_t)codePoint;
        } else {
            out += (char16_t)(0xD800 + ((codePoint - 0x10000) >> 10));
            out += (char16_t)(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    auto isHigh = [](uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; };
    auto isLow = [](uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t unit = utf16[i];
        if (isHigh(unit) && i + 1 < utf16.size() && isLow(utf16[i + 1]))
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00u));
        else
            AppendUtf8(out, isHigh(unit) || isLow(unit) ? REPLACEMENT_CHARACTER : unit);
    }
    return out;
}
