#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace common
{

// Standard Base64 (RFC 4648, section 4) through OpenSSL.
class Base64
{
public:
    static std::string encode(std::string_view data);
    // Strict: padding required, no blanks, unused bits zero; nullopt on anything else.
    static std::optional<std::string> decode(std::string_view text);
};

} // namespace common
