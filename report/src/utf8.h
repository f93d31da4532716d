// UTF-8 read and written one code point at a time, malformed input made safe.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr uint32_t REPLACEMENT_CHARACTER = 0xFFFD;
// What Windows programs put before UTF-8 text, and the report before its CSV.
constexpr std::string_view UTF8_MARK = "\xEF\xBB\xBF";
// What ReadCodePoint gives for a malformed sequence: no code point at all.
constexpr uint32_t MALFORMED_UTF8 = 0x110000;

// The code point at *pos, advancing *pos past it. A malformed sequence (a stray
// byte, an overlong form, a surrogate, a cut-off sequence) reads as
// MALFORMED_UTF8 and is skipped as one maximal part, so the text always moves on.
uint32_t ReadCodePoint(std::string_view utf8, size_t* pos);

// The text with every malformed sequence replaced by U+FFFD.
std::string MakeValidUtf8(std::string_view utf8);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, uint32_t codePoint);

// UTF-16 (Windows' paths, arguments and console) to and from UTF-8; a malformed
// sequence or a lone surrogate becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
