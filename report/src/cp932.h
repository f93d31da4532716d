// UTF-8 text as CP932 (Windows Japanese) and back, from the report's own table
// so that every platform writes and reads the same characters.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "utf8.h"

// Every character CP932 cannot hold (and every malformed sequence) becomes '?';
// *unmappable, when given, receives how many did.
std::string EncodeCp932(std::string_view utf8, size_t* unmappable);

// CP932 bytes as UTF-8. A byte or pair the table does not hold becomes U+FFFD
// (a pair only when its second byte can trail, so that no comma or line end is
// swallowed); *undecodable, when given, receives how many did.
std::string DecodeCp932(std::string_view bytes, size_t* undecodable);
