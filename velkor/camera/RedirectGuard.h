#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor
{

// Which redirects a camera's stream may follow while it opens: only to the camera's own scheme,
// host and port, so the credentials never go anywhere else, and only kMaxRedirects times, so a
// camera that redirects to itself forever is given up. Once a redirect is refused, it stays
// refused until restart().
class RedirectGuard
{
public:
    static constexpr int kMaxRedirects = 3;

    // `url` is the one played, as libavformat is given it.
    void restart(const std::string& url);
    // Whether the stream may follow a redirect to `location`, absolute or relative to the URL
    // it was at.
    bool follow(std::string_view location);
    bool refused() const { return !m_refusal.empty(); }
    // Why, for messages: where the redirect pointed, without credentials.
    const std::string& refusal() const { return m_refusal; }
    // Whether `url` is the one played or one the guard let the stream follow to.
    bool knows(std::string_view url) const;
    // Where a redirect to `location` from `base` leads, for messages: the URL without user name
    // and password, or the location quoted when it is no URL; printable (CameraText) either way.
    static std::string shown(const std::string& base, std::string_view location);

private:
    // As libavformat was given them; the last one resolved, to read a relative location against.
    std::vector<std::string> m_followed;
    std::string m_current;
    std::string m_refusal;
};

} // namespace velkor
