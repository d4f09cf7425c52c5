#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::KeyValueText
{

// key=value items separated by any of `separators`; items without '=' are skipped, a repeated key
// keeps its first value.
std::map<std::string, std::string, std::less<>> parse(std::string_view text,
                                                      std::string_view separators);

// A plain decimal within [minimum, maximum], or nothing.
std::optional<int32_t> toInt(std::string_view text, int32_t minimum, int32_t maximum);

} // namespace velkor::KeyValueText
