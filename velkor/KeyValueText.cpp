#include "velkor/KeyValueText.h"

#include <charconv>

namespace velkor::KeyValueText
{

std::map<std::string, std::string, std::less<>> parse(std::string_view text,
                                                      std::string_view separators)
{
    std::map<std::string, std::string, std::less<>> items;
    while (!text.empty())
    {
        const auto end = text.find_first_of(separators);
        std::string_view item = text.substr(0, end);
        if (!item.empty() && item.back() == '\r')
        {
            item.remove_suffix(1);
        }
        const auto equals = item.find('=');
        if (equals != std::string_view::npos && equals > 0)
        {
            items.emplace(std::string(item.substr(0, equals)),
                          std::string(item.substr(equals + 1)));
        }
        if (end == std::string_view::npos)
        {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return items;
}

std::optional<int32_t> toInt(std::string_view text, int32_t minimum, int32_t maximum)
{
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < minimum ||
        value > maximum)
    {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

} // namespace velkor::KeyValueText
