#include "velkor/native/KeyValueText.h"

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

} // namespace velkor::KeyValueText
