#include "MultipartPart.h"

#include <strings.h>

namespace velkor
{

std::optional<std::string_view> MultipartPart::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
    {
        if (key.size() == name.size() && strncasecmp(key.data(), name.data(), name.size()) == 0)
        {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

} // namespace velkor
