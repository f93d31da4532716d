// Bounded wide-character formatting with StringCchPrintfW's contract.
#pragma once
#include <stddef.h>
#include <stdint.h>

#define FORMAT_BOUNDED_OK           ((int32_t)0)
#define FORMAT_BOUNDED_TRUNCATED    ((int32_t)0x8007007A)  // insufficient buffer
#define FORMAT_BOUNDED_INVALID_ARG  ((int32_t)0x80070057)  // unusable capacity

// Formats into buffer (capacity in characters, NUL included). %s takes a wide
// string, as in the platform's wide formatting functions. On overflow the
// buffer holds the first capacity-1 characters and a NUL.
int32_t FormatBounded(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
