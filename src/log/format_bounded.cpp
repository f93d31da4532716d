#include "log/format_bounded.h"

#include <stdarg.h>
#include <wchar.h>

int32_t FormatBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, ...)
{
    if (capacity == 0 || capacity > 0x7FFFFFFF) {
        if (capacity != 0 && buffer) buffer[0] = L'\0';
        return FORMAT_BOUNDED_INVALID_ARG;
    }
    // The runtime's _vsnwprintf has the Microsoft conventions under both
    // MinGW and MSVC: %s is a wide string here, and -1 means "did not fit".
    va_list args;
    va_start(args, format);
    int written = _vsnwprintf(buffer, capacity - 1, format, args);
    va_end(args);
    if (written < 0 || (size_t)written > capacity - 1) {
        buffer[capacity - 1] = L'\0';
        return FORMAT_BOUNDED_TRUNCATED;
    }
    buffer[written] = L'\0';
    return FORMAT_BOUNDED_OK;
}
