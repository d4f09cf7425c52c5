#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace velkor
{

// The WS-Security header that carries a user's credentials in a SOAP request: a UsernameToken
// whose password goes as a digest, Base64(SHA-1(nonce + created + password)), with a fresh
// random nonce each time, so the password itself never crosses the network.
class UsernameToken
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    // A wsse:Security element; `created` is on the camera's clock. Empty when no random nonce
    // could be had.
    static std::string header(std::string_view userName, std::string_view password,
                              TimePoint created);
};

} // namespace velkor
