#include "cp932.h"

#include <algorithm>
#include <iterator>
#include <vector>

struct Cp932Pair {
    uint16_t codePoint;
    uint16_t code;
};

static const Cp932Pair CP932_TABLE[] = {
#include "cp932_table.inc"
};

static bool FindCp932(uint32_t codePoint, uint16_t* code)
{
    if (codePoint > 0xFFFF) return false;
    const Cp932Pair* end = std::end(CP932_TABLE);
    const Cp932Pair* found = std::lower_bound(
        std::begin(CP932_TABLE), end, codePoint,
        [](const Cp932Pair& pair, uint32_t wanted) { return pair.codePoint < wanted; });
    if (found == end || found->codePoint != codePoint) return false;
    *code = found->code;
    return true;
}

std::string EncodeCp932(std::string_view utf8, size_t* unmappable)
{
    std::string out;
    out.reserve(utf8.size());
    size_t missing = 0;
    size_t pos = 0;
    while (pos < utf8.size()) {
        uint32_t codePoint = ReadCodePoint(utf8, &pos);
        uint16_t code = 0;
        if (codePoint < 0x80) {
            out += (char)codePoint;
        } else if (FindCp932(codePoint, &code)) {
            if (code > 0xFF) out += (char)(code >> 8);
            out += (char)(code & 0xFF);
        } else {
            out += '?';
            ++missing;
        }
    }
    if (unmappable) *unmappable = missing;
    return out;
}

namespace {

// The table turned around, built once: indexed by code, 0 for no character.
const std::vector<uint16_t>& Cp932Decoding()
{
    static const std::vector<uint16_t> decoding = [] {
        std::vector<uint16_t> codePoints(0x10000, 0);
        for (const Cp932Pair& pair : CP932_TABLE) codePoints[pair.code] = pair.codePoint;
        return codePoints;
    }();
    return decoding;
}

bool IsLeadByte(uint8_t b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(uint8_t b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

}  // namespace

std::string DecodeCp932(std::string_view bytes, size_t* undecodable)
{
    const std::vector<uint16_t>& decoding = Cp932Decoding();
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    size_t missing = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        uint8_t b = (uint8_t)bytes[i];
        if (b < 0x80) {
            out += (char)b;
            continue;
        }
        uint16_t code = b;
        if (IsLeadByte(b) && i + 1 < bytes.size() && IsTrailByte((uint8_t)bytes[i + 1]))
            code = (uint16_t)(b << 8 | (uint8_t)bytes[++i]);
        if (decoding[code] != 0) {
            AppendUtf8(out, decoding[code]);
        } else {
            AppendUtf8(out, REPLACEMENT_CHARACTER);
            ++missing;
        }
    }
    if (undecodable) *undecodable = missing;
    return out;
}
