#include "velkor/native/MultipartPart.h"

#include "common/AsciiText.h"

namespace velkor
{

std::optional<std::string_view> MultipartPart::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
    {
        if (common::AsciiText::equalsNoCase(key, name))
        {
            return std::string_view(value);
        }
    }
    return std::nullopt;
}

} // namespace velkor
