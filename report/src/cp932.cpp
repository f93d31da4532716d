#include "cp932.h"

#include <algorithm>
#include <iterator>

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
