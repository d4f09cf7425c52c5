#include "device/NonceRegistry.h"

#include "device/AsciiText.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstdio>

namespace velkordevice
{

namespace
{

constexpr std::size_t kTimeHexLength = 12;
constexpr std::size_t kRandomHexLength = 16;
constexpr std::size_t kMacHexLength = 32;
constexpr std::size_t kMaxCountsPerNonce = 1024;

} // namespace

NonceRegistry::NonceRegistry(std::chrono::seconds lifetime, Now now, std::size_t maxTracked)
    : m_lifetime(lifetime), m_now(std::move(now)), m_maxTracked(maxTracked), m_secret{},
      m_epoch(m_now())
{
    if (RAND_bytes(m_secret, sizeof m_secret) != 1)
    {
        // Without a random secret nonces would be forgeable across runs; the clock is a weak
        // but non-constant fallback.
        auto seed = std::chrono::system_clock::now().time_since_epoch().count();
        for (std::size_t i = 0; i < sizeof m_secret; ++i)
        {
            m_secret[i] = static_cast<unsigned char>(seed >> (i % 8 * 8));
        }
    }
}

int64_t NonceRegistry::nowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(m_now() - m_epoch).count();
}

std::string NonceRegistry::mac(std::string_view body) const
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_secret, sizeof m_secret,
         reinterpret_cast<const unsigned char*>(body.data()), body.size(), digest, &length);
    return AsciiText::hex(digest, std::min<std::size_t>(length, kMacHexLength / 2));
}

std::string NonceRegistry::issue()
{
    unsigned char random[kRandomHexLength / 2];
    RAND_bytes(random, sizeof random);
    char time[kTimeHexLength + 1];
    std::snprintf(time, sizeof time, "%012llx", static_cast<unsigned long long>(nowMs()));
    std::string body = std::string(time) + AsciiText::hex(random, sizeof random);
    return body + mac(body);
}

bool NonceRegistry::decode(const std::string& nonce, int64_t& issuedMs) const
{
    if (nonce.size() != kTimeHexLength + kRandomHexLength + kMacHexLength)
    {
        return false;
    }
    const std::string_view body(nonce.data(), kTimeHexLength + kRandomHexLength);
    const std::string expected = mac(body);
    if (CRYPTO_memcmp(expected.data(), nonce.data() + body.size(), kMacHexLength) != 0)
    {
        return false;
    }
    const auto issued = AsciiText::parseHex(body.substr(0, kTimeHexLength));
    if (!issued)
    {
        return false;
    }
    issuedMs = static_cast<int64_t>(*issued);
    return true;
}

NonceRegistry::Status NonceRegistry::inspect(const std::string& nonce) const
{
    int64_t issuedMs = 0;
    if (!decode(nonce, issuedMs))
    {
        return Status::Unknown;
    }
    const int64_t age = nowMs() - issuedMs;
    if (age < 0 || age >= std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count())
    {
        return Status::Stale;
    }
    return Status::Valid;
}

NonceRegistry::Status NonceRegistry::use(const std::string& nonce, uint32_t nc)
{
    const Status status = inspect(nonce);
    if (status != Status::Valid)
    {
        return status;
    }
    int64_t issuedMs = 0;
    decode(nonce, issuedMs);

    std::lock_guard lock(m_mutex);
    auto it = m_tracked.find(nonce);
    if (it == m_tracked.end())
    {
        // Its counts were dropped to bound memory, so replays could no longer be detected.
        if (issuedMs <= m_forgottenUpToMs)
        {
            return Status::Stale;
        }
        if (m_tracked.size() >= m_maxTracked)
        {
            evict();
        }
        it = m_tracked.emplace(nonce, Tracked{issuedMs, {}}).first;
    }
    Tracked& tracked = it->second;
    if (tracked.counts.size() >= kMaxCountsPerNonce)
    {
        return Status::Stale;
    }
    if (!tracked.counts.insert(nc).second)
    {
        return Status::Replayed;
    }
    return Status::Valid;
}

void NonceRegistry::evict()
{
    const int64_t lifetimeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_lifetime).count();
    const int64_t now = nowMs();
    std::erase_if(m_tracked,
                  [&](const auto& entry) { return now - entry.second.issuedMs >= lifetimeMs; });
    while (m_tracked.size() >= m_maxTracked)
    {
        auto oldest = std::min_element(m_tracked.begin(), m_tracked.end(),
                                       [](const auto& a, const auto& b)
                                       { return a.second.issuedMs < b.second.issuedMs; });
        m_forgottenUpToMs = std::max(m_forgottenUpToMs, oldest->second.issuedMs);
        m_tracked.erase(oldest);
    }
}

} // namespace velkordevice
