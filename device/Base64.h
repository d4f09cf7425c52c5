#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

class Base64
{
public:
    static std::string encode(std::string_view data);
    // Strict: padding required, no whitespace; nullopt on anything malformed.
    static std::optional<std::string> decode(std::string_view text);
};

} // namespace velkordevice
