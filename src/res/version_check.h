// Compile-time agreement of the version texts with the version numbers.
#pragma once
#include "res/version.h"

namespace version_check {

constexpr int Length(const char* s) { return *s ? 1 + Length(s + 1) : 0; }

// Writes value in decimal, at least minDigits long, ending just before end.
constexpr bool EndsWithNumber(const char* s, int end, unsigned value, int minDigits, int* start)
{
    int i = end;
    do {
        if (i == 0 || s[i - 1] != (char)('0' + value % 10)) return false;
        --i;
        value /= 10;
        --minDigits;
    } while (value || minDigits > 0);
    *start = i;
    return true;
}

// "... Version <major>.<minor as two digits>"
constexpr bool VersionLineAgrees(const char* line, unsigned major, unsigned minor)
{
    int start = 0;
    if (!EndsWithNumber(line, Length(line), minor, 2, &start)) return false;
    if (start == 0 || line[start - 1] != '.') return false;
    int majorStart = 0;
    if (!EndsWithNumber(line, start - 1, major, 1, &majorStart)) return false;
    const char* word = " Version ";
    int n = Length(word);
    if (majorStart < n) return false;
    for (int i = 0; i < n; ++i) {
        if (line[majorStart - n + i] != word[i]) return false;
    }
    return true;
}

// "<major>.<minor>.0.0"
constexpr bool DottedVersionAgrees(const char* dotted, unsigned major, unsigned minor)
{
    int start = 0;
    int end = Length(dotted);
    if (end < 4 || dotted[end - 1] != '0' || dotted[end - 2] != '.' || dotted[end - 3] != '0' || dotted[end - 4] != '.')
        return false;
    if (!EndsWithNumber(dotted, end - 4, minor, 1, &start) || start == 0 || dotted[start - 1] != '.') return false;
    int majorStart = 0;
    return EndsWithNumber(dotted, start - 1, major, 1, &majorStart) && majorStart == 0;
}

static_assert(VersionLineAgrees(APP_VERSION_LINE, APP_VERSION_MAJOR, APP_VERSION_MINOR),
              "the About box's version line must show the version numbers");
static_assert(DottedVersionAgrees(APP_VERSION_DOTTED, APP_VERSION_MAJOR, APP_VERSION_MINOR),
              "the version resource's texts must show the version numbers");
static_assert(!VersionLineAgrees("StillSentinel Version 1.00", 1, 1), "the check itself must be able to fail");
static_assert(!DottedVersionAgrees("1.1.0.0", 1, 0), "the check itself must be able to fail");

}  // namespace version_check
