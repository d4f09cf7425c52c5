#pragma once

#include <string>
#include <string_view>

namespace common
{

// WS-Security's UsernameToken PasswordDigest: Base64(SHA-1(nonce + created + password)), with
// `nonce` the raw bytes (not their Base64) and `created` the wsu:Created text as sent.
class PasswordDigest
{
public:
    // Empty when the hash cannot be computed.
    static std::string of(std::string_view nonce, std::string_view created,
                          std::string_view password);
};

} // namespace common
