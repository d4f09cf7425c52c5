#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velkor::KeyValueText
{

// key=value items separated by any of `separators`; items without '=' are skipped, a repeated key
// keeps its first value.
std::map<std::string, std::string, std::less<>> parse(std::string_view text,
                                                      std::string_view separators);

} // namespace velkor::KeyValueText
