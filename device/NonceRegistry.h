#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace velkordevice
{

// Issues digest nonces that carry their own issue time under an HMAC, so expiry and forgery are
// decided without state; only nonce counts seen in use are remembered (bounded).
class NonceRegistry
{
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    enum class Status
    {
        Valid,
        Stale, // genuine but expired, or no longer tracked: the client should retry with a new one
        Unknown,  // not issued by this registry
        Replayed, // this nonce count was already used
    };

    explicit NonceRegistry(std::chrono::seconds lifetime, Now now = &Clock::now,
                           std::size_t maxTracked = 4096);

    std::string issue();
    // Authenticity and age only.
    Status inspect(const std::string& nonce) const;
    // inspect() plus recording nc, which must not have been used with this nonce before.
    Status use(const std::string& nonce, uint32_t nc);

private:
    struct Tracked
    {
        int64_t issuedMs = 0;
        std::set<uint32_t> counts;
    };

    std::string mac(std::string_view body) const;
    bool decode(const std::string& nonce, int64_t& issuedMs) const;
    int64_t nowMs() const;
    void evict();

    std::chrono::seconds m_lifetime;
    Now m_now;
    std::size_t m_maxTracked;
    unsigned char m_secret[32];
    Clock::time_point m_epoch;
    mutable std::mutex m_mutex;
    std::map<std::string, Tracked> m_tracked;
    int64_t m_forgottenUpToMs = -1;
};

} // namespace velkordevice
