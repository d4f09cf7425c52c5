#include "device/Authenticator.h"

#include "common/Base64.h"
#include "device/AsciiText.h"
#include "device/AuthParams.h"
#include "device/DigestCalculator.h"

#include <openssl/crypto.h>

namespace velkordevice
{

namespace
{

bool constantTimeEquals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<std::uint32_t> parseNonceCount(const std::string& nc)
{
    if (nc.size() != 8)
    {
        return std::nullopt;
    }
    const auto value = AsciiText::parseHex(nc);
    if (!value)
    {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

bool hasEveryRequired(const AuthParams& params)
{
    for (const char* required :
         {"username", "realm", "nonce", "uri", "response", "qop", "nc", "cnonce"})
    {
        if (!params.has(required))
        {
            return false;
        }
    }
    return true;
}

} // namespace

Authenticator::Authenticator(AuthMode mode, std::string user, std::string password,
                             std::chrono::seconds nonceLifetime, NonceRegistry::Now now)
    : m_mode(mode), m_user(std::move(user)), m_password(std::move(password)),
      m_nonces(nonceLifetime, std::move(now))
{
    // The opaque only has to be stable for this run; a fresh nonce gives a good random value.
    m_opaque = DigestCalculator::hashHex(DigestAlgorithm::Sha256, m_nonces.issue()).substr(0, 32);
}

AuthDecision Authenticator::check(std::string_view method, std::string_view target,
                                  std::string_view authorization)
{
    switch (m_mode)
    {
    case AuthMode::None:
        return {true, {}};
    case AuthMode::Basic:
        if (checkBasic(authorization))
        {
            return {true, {}};
        }
        return deny(false);
    case AuthMode::Digest:
        return checkDigest(method, target, authorization);
    }
    return deny(false);
}

bool Authenticator::checkBasic(std::string_view authorization) const
{
    auto parsed = AuthParams::parse(authorization);
    if (!parsed || parsed->scheme != "basic" || parsed->token.empty())
    {
        return false;
    }
    auto decoded = common::Base64::decode(parsed->token);
    if (!decoded)
    {
        return false;
    }
    // Compare the whole "user:password" so neither half leaks through timing.
    return constantTimeEquals(*decoded, m_user + ':' + m_password);
}

AuthDecision Authenticator::checkDigest(std::string_view method, std::string_view target,
                                        std::string_view authorization)
{
    auto parsed = AuthParams::parse(authorization);
    if (!parsed || parsed->scheme != "digest")
    {
        return deny(false);
    }
    const AuthParams& p = *parsed;
    if (!hasEveryRequired(p))
    {
        return deny(false);
    }

    const auto algorithm = DigestCalculator::algorithmFromName(
        p.has("algorithm") ? p.value("algorithm") : std::string("MD5"));
    const auto nc = parseNonceCount(p.value("nc"));
    if (!algorithm || !nc || p.value("qop") != "auth" || p.value("cnonce").empty() ||
        p.value("realm") != kRealm || p.value("uri") != target ||
        (p.has("opaque") && p.value("opaque") != m_opaque))
    {
        return deny(false);
    }

    const bool userhash = AsciiText::lower(p.value("userhash")) == "true";
    const std::string expectedUser =
        userhash ? DigestCalculator::userhash(*algorithm, m_user, kRealm) : m_user;
    if (!constantTimeEquals(p.value("username"), expectedUser))
    {
        return deny(false);
    }

    const std::string nonce = p.value("nonce");
    if (m_nonces.inspect(nonce) == NonceRegistry::Status::Unknown)
    {
        return deny(false);
    }

    DigestInput input{
        m_user,        std::string(kRealm), m_password, std::string(method), p.value("uri"), nonce,
        p.value("nc"), p.value("cnonce"),   "auth"};
    const std::string expected = DigestCalculator::response(*algorithm, input);
    if (!constantTimeEquals(AsciiText::lower(p.value("response")), expected))
    {
        return deny(false);
    }

    switch (m_nonces.use(nonce, *nc))
    {
    case NonceRegistry::Status::Valid:
        return {true, {}};
    case NonceRegistry::Status::Stale:
        return deny(true);
    case NonceRegistry::Status::Unknown:
    case NonceRegistry::Status::Replayed:
        break;
    }
    return deny(false);
}

AuthDecision Authenticator::deny(bool stale)
{
    AuthDecision decision;
    if (m_mode == AuthMode::Basic)
    {
        decision.challenges.push_back("Basic realm=\"" + std::string(kRealm) +
                                      "\", charset=\"UTF-8\"");
        return decision;
    }
    const std::string nonce = m_nonces.issue();
    for (DigestAlgorithm algorithm : {DigestAlgorithm::Sha256, DigestAlgorithm::Md5})
    {
        std::string challenge = "Digest realm=\"" + std::string(kRealm) +
                                "\", qop=\"auth\", algorithm=" +
                                std::string(DigestCalculator::algorithmName(algorithm)) +
                                ", nonce=\"" + nonce + "\", opaque=\"" + m_opaque + "\"";
        if (stale)
        {
            challenge += ", stale=true";
        }
        decision.challenges.push_back(std::move(challenge));
    }
    return decision;
}

} // namespace velkordevice
