#include "device/UsernameTokenGuard.h"

#include "common/Base64.h"
#include "common/PasswordDigest.h"
#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XsdTime.h"

#include <openssl/crypto.h>

#include <string_view>

namespace velkordevice
{

namespace
{

constexpr std::string_view kPasswordDigest = "#PasswordDigest";
constexpr std::string_view kPasswordText = "#PasswordText";

bool constantTimeEquals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

} // namespace

UsernameTokenGuard::UsernameTokenGuard(std::string user, std::string password,
                                       std::chrono::seconds window, std::size_t maxNonces)
    : m_user(std::move(user)), m_password(std::move(password)), m_window(window),
      m_maxNonces(maxNonces)
{
}

UsernameTokenGuard::Verdict UsernameTokenGuard::check(const xmlNode* soapHeader, TimePoint now)
{
    const char* wsse = common::SoapNamespaces::kSecurity;
    const xmlNode* token =
        common::XmlTree::find(soapHeader, {{wsse, "Security"}, {wsse, "UsernameToken"}});
    if (token == nullptr)
    {
        return Verdict::Absent;
    }
    const xmlNode* password = common::XmlTree::child(token, wsse, "Password");
    const std::string type = common::XmlTree::attribute(password, "Type");
    const std::string nonce = common::XmlTree::text(common::XmlTree::child(token, wsse, "Nonce"));
    const std::string created = common::XmlTree::text(
        common::XmlTree::child(token, common::SoapNamespaces::kSecurityUtility, "Created"));
    if (password == nullptr ||
        !constantTimeEquals(common::XmlTree::text(common::XmlTree::child(token, wsse, "Username")),
                            m_user))
    {
        return Verdict::Refused;
    }
    if (endsWith(type, kPasswordDigest))
    {
        const auto nonceBytes = common::Base64::decode(nonce);
        const bool passes = nonceBytes && !nonceBytes->empty() && fresh(created, now) &&
                            digestMatches(*nonceBytes, created, common::XmlTree::text(password));
        // The digest binds the nonce to its Created: a client that sends one nonce with fresh
        // times (libonvif does, within a second) replays nothing.
        return passes && firstUse(nonce + ' ' + created, now) ? Verdict::Accepted
                                                              : Verdict::Refused;
    }
    // The text password is the default type; a Created it carries must still be fresh.
    const bool textType = type.empty() || endsWith(type, kPasswordText);
    return textType && (created.empty() || fresh(created, now)) &&
                   constantTimeEquals(common::XmlTree::text(password, true), m_password)
               ? Verdict::Accepted
               : Verdict::Refused;
}

bool UsernameTokenGuard::digestMatches(const std::string& nonce, const std::string& created,
                                       const std::string& digest) const
{
    const std::string expected = common::PasswordDigest::of(nonce, created, m_password);
    return !expected.empty() && constantTimeEquals(digest, expected);
}

bool UsernameTokenGuard::fresh(const std::string& created, TimePoint now) const
{
    const auto when = common::XsdTime::parseDateTime(created);
    return when && *when >= now - m_window && *when <= now + m_window;
}

bool UsernameTokenGuard::firstUse(const std::string& token, TimePoint now)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_seen, [now](const auto& entry) { return entry.second < now; });
    if (m_seen.count(token) != 0)
    {
        return false;
    }
    if (m_seen.size() >= m_maxNonces)
    {
        // A flood of fresh nonces must not grow the device without bound; refusing until the
        // oldest leave the window keeps replays out.
        return false;
    }
    // A Created at the window's far edge still passes for two windows after it came.
    m_seen.emplace(token, now + 2 * m_window);
    return true;
}

} // namespace velkordevice
