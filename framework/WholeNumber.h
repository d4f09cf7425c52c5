#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// A whole number as a number field accepts it: decimal digits with an optional sign, blanks around
// allowed, within the 32-bit range. Anything else (empty, other characters, out of range) is not a
// whole number; it is never wrapped or cut.
std::optional<int32_t> ParseWholeNumber(std::string_view text);
