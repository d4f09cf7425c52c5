#pragma once

#include <libxml/tree.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace velkordevice
{

// Checks the WS-Security UsernameToken of a SOAP header against the device's user: a password
// digest, Base64(SHA-1(nonce + created + password)), whose Created lies within the window around
// the device's clock and whose nonce was not seen with that Created within it; or the password
// as text.
class UsernameTokenGuard
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    enum class Verdict
    {
        // The header carries no UsernameToken.
        Absent,
        Accepted,
        Refused
    };

    UsernameTokenGuard(std::string user, std::string password,
                       std::chrono::seconds window = std::chrono::minutes(5),
                       std::size_t maxNonces = 65536);

    // `now`: the device's clock, against which Created is checked.
    Verdict check(const xmlNode* soapHeader, TimePoint now);

private:
    bool digestMatches(const std::string& nonce, const std::string& created,
                       const std::string& digest) const;
    bool fresh(const std::string& created, TimePoint now) const;
    // Records the nonce and Created; false when they were seen within the window.
    bool firstUse(const std::string& token, TimePoint now);

    std::string m_user;
    std::string m_password;
    std::chrono::seconds m_window;
    std::size_t m_maxNonces;
    std::mutex m_mutex;
    // Nonce and Created -> when they may be forgotten (the Created is then outside the window).
    std::map<std::string, TimePoint> m_seen;
};

} // namespace velkordevice
