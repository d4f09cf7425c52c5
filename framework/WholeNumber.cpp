#include "framework/WholeNumber.h"

#include <charconv>
#include <limits>

namespace
{
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

std::optional<int32_t> ParseWholeNumber(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
    {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back()))
    {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
    {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
    {
        return std::nullopt;
    }
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size())
    {
        return std::nullopt;
    }
    const uint64_t limit = negative ? uint64_t{std::numeric_limits<int32_t>::max()} + 1
                                    : uint64_t{std::numeric_limits<int32_t>::max()};
    if (magnitude > limit)
    {
        return std::nullopt;
    }
    return negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                    : static_cast<int32_t>(magnitude);
}
