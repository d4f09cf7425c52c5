#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Decimal numbers of the wire protocols: digits only, with a leading '-' where a value may be
// negative; no '+', no blanks, nothing after the digits, and nothing out of range.
namespace common::Decimal
{

std::optional<std::uint64_t> toUnsigned(std::string_view text);
std::optional<std::int64_t> toSigned(std::string_view text);
std::optional<std::int32_t> toInt32(std::string_view text, std::int32_t minimum,
                                    std::int32_t maximum);

} // namespace common::Decimal
