#include "common/Decimal.h"

#include <charconv>

namespace common::Decimal
{
namespace
{

template <typename Number> std::optional<Number> parse(std::string_view text)
{
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
    {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<std::uint64_t> toUnsigned(std::string_view text)
{
    return parse<std::uint64_t>(text);
}

std::optional<std::int64_t> toSigned(std::string_view text)
{
    return parse<std::int64_t>(text);
}

std::optional<std::int32_t> toInt32(std::string_view text, std::int32_t minimum,
                                    std::int32_t maximum)
{
    const auto value = toSigned(text);
    if (!value || *value < minimum || *value > maximum)
    {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

} // namespace common::Decimal
