#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor
{

enum class CameraScheme
{
    Rtsp,
    Http,
    Https
};

// The address of a standard camera: an rtsp, http or https URL with a host, an optional port, a
// path and a query. It never holds credentials: the console logs the address on every Set, so
// they come from the user name and password properties instead. `{channel}` in it stands for the
// number of the channel played.
class CameraUrl
{
public:
    static constexpr std::size_t kMaxBytes = 255;
    static constexpr std::string_view kChannelField = "{channel}";

    // Whether `text` begins with a scheme and "://", so that the URL rules judge it rather than
    // those of a plain host.
    static bool looksLikeUrl(std::string_view text);
    // The URL, or nothing with `why` saying in a sentence what is wrong with it. The text is not
    // quoted back in `why`: it may hold a password.
    static std::optional<CameraUrl> parse(std::string_view text, std::string& why);

    // As it was set.
    const std::string& text() const { return m_text; }
    CameraScheme scheme() const { return m_scheme; }
    bool hasChannelField() const;
    // The URL with every `{channel}` replaced by `channel`, its scheme in lower case.
    std::string forChannel(int32_t channel) const;
    // The URL with the user name and password in it (CameraCredentials), which is how libavformat
    // takes them; never for messages.
    std::string withCredentials(int32_t channel, const std::string& userName,
                                const std::string& password) const;
    // Positive, the same for the same text: FNV-1a (32 bits) of the text as set, top bit cleared,
    // 1 in place of 0.
    int32_t uid() const;
    // The same hash of any text, for cameras known by other words than their URL.
    static int32_t uidOf(std::string_view text);

private:
    CameraUrl(std::string text, CameraScheme scheme) : m_text(std::move(text)), m_scheme(scheme) {}

    std::string m_text;
    CameraScheme m_scheme;
};

} // namespace velkor
