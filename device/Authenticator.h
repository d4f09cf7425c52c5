#pragma once

#include "device/DeviceConfig.h"
#include "device/NonceRegistry.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkordevice
{

struct AuthDecision
{
    bool allowed = false;
    // WWW-Authenticate values for a 401, in the order they are to be sent.
    std::vector<std::string> challenges;
};

class Authenticator
{
public:
    static constexpr std::string_view kRealm = "velkor-device";

    Authenticator(AuthMode mode, std::string user, std::string password,
                  std::chrono::seconds nonceLifetime,
                  NonceRegistry::Now now = &NonceRegistry::Clock::now);

    AuthDecision check(std::string_view method, std::string_view target,
                       std::string_view authorization);

private:
    bool checkBasic(std::string_view authorization) const;
    AuthDecision checkDigest(std::string_view method, std::string_view target,
                             std::string_view authorization);
    AuthDecision deny(bool stale);

    AuthMode m_mode;
    std::string m_user;
    std::string m_password;
    std::string m_opaque;
    NonceRegistry m_nonces;
};

} // namespace velkordevice
