// UTF-8 text as CP932 (Windows Japanese), from the report's own table so that
// every platform writes the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "utf8.h"

// Every character CP932 cannot hold (and every malformed sequence) becomes '?';
// *unmappable, when given, receives how many did.
std::string EncodeCp932(std::string_view utf8, size_t* unmappable);
