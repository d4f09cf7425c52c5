#include "velkor/camera/CameraUrl.h"

#include "common/AsciiText.h"
#include "velkor/camera/CameraCredentials.h"
#include "velkor/net/TextRules.h"
#include "velkor/report/ResultCode.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace velkor
{
namespace
{

constexpr std::string_view kSchemeEnd = "://";
constexpr std::string_view kSchemes = "rtsp, http or https";

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// One part of a URL curl has read; nothing when the URL has no such part.
std::optional<std::string> partOf(CURLU* url, CURLUPart part)
{
    char* value = nullptr;
    if (curl_url_get(url, part, &value, 0) != CURLUE_OK || value == nullptr)
    {
        return std::nullopt;
    }
    std::string copy(value);
    curl_free(value);
    return copy;
}

std::string replaceChannel(std::string_view text, const std::string& number)
{
    std::string result;
    std::size_t from = 0;
    while (true)
    {
        const std::size_t at = text.find(CameraUrl::kChannelField, from);
        result.append(text.substr(from, at - from));
        if (at == std::string_view::npos)
        {
            return result;
        }
        result += number;
        from = at + CameraUrl::kChannelField.size();
    }
}

// Why the characters of `text` are no URL's, or nothing when they are.
std::optional<std::string> characterFault(std::string_view text)
{
    if (text.size() > CameraUrl::kMaxBytes)
    {
        return "the address is " + std::to_string(text.size()) + " bytes long; at most " +
               std::to_string(CameraUrl::kMaxBytes) + " are accepted";
    }
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte <= 0x20 || byte == 0x7F)
        {
            return "the address holds a space or a control character (byte " +
                   std::to_string(i + 1) + "); a URL has none";
        }
        if (byte > 0x7F)
        {
            return "the address holds a character outside ASCII (byte " + std::to_string(i + 1) +
                   "); percent-encode it";
        }
    }
    return std::nullopt;
}

std::optional<CameraScheme> schemeNamed(std::string_view name)
{
    if (common::AsciiText::equalsNoCase(name, "rtsp"))
    {
        return CameraScheme::Rtsp;
    }
    if (common::AsciiText::equalsNoCase(name, "http"))
    {
        return CameraScheme::Http;
    }
    if (common::AsciiText::equalsNoCase(name, "https"))
    {
        return CameraScheme::Https;
    }
    return std::nullopt;
}

std::string schemeFault(std::string_view name)
{
    if (common::AsciiText::equalsNoCase(name, "rtsps"))
    {
        return "rtsps (RTSP over TLS) is not supported: the library asks a camera with an RTSP "
               "DESCRIBE that it cannot send over TLS; use rtsp";
    }
    return "the address's scheme \"" + std::string(name) + "\" is not one the library plays (" +
           std::string(kSchemes) + ")";
}

// Why the host and port curl read from the URL do not name a camera, or nothing.
std::optional<std::string> hostFault(CURLU* url)
{
    const std::string host = partOf(url, CURLUPART_HOST).value_or("");
    if (partOf(url, CURLUPART_ZONEID))
    {
        return std::string("the address names an IPv6 zone, which is not supported");
    }
    const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
    const bool valid = bracketed ? TextRules::isIpv6Literal(host.substr(1, host.size() - 2))
                                 : TextRules::checkAddress(host) == Ok;
    if (!valid)
    {
        return "the address's host \"" + host + "\" is neither an IP address nor a host name";
    }
    if (partOf(url, CURLUPART_PORT) == "0")
    {
        return std::string("the address's port is not a number from 1 to 65535");
    }
    if (partOf(url, CURLUPART_FRAGMENT))
    {
        return std::string("the address holds a fragment (#...), which never reaches a camera; "
                           "leave it out");
    }
    return std::nullopt;
}

std::string curlFault(CURLUcode code)
{
    switch (code)
    {
    case CURLUE_BAD_PORT_NUMBER:
        return "the address's port is not a number from 1 to 65535";
    case CURLUE_NO_HOST:
        return "the address names no host";
    default:
        return std::string("the address is no URL: ") + curl_url_strerror(code);
    }
}

} // namespace

bool CameraUrl::looksLikeUrl(std::string_view text)
{
    const std::size_t end = text.find(kSchemeEnd);
    if (end == std::string_view::npos || end == 0)
    {
        return false;
    }
    const auto schemeChar = [](char c)
    {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '+' || c == '-' || c == '.';
    };
    return std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(end), schemeChar);
}

std::optional<CameraUrl> CameraUrl::parse(std::string_view text, std::string& why)
{
    if (!looksLikeUrl(text))
    {
        why = "the address is no URL (scheme://host/path)";
        return std::nullopt;
    }
    if (auto fault = characterFault(text))
    {
        why = std::move(*fault);
        return std::nullopt;
    }
    const std::size_t schemeEnd = text.find(kSchemeEnd);
    const std::string_view schemeName = text.substr(0, schemeEnd);
    const auto scheme = schemeNamed(schemeName);
    if (!scheme)
    {
        why = schemeFault(schemeName);
        return std::nullopt;
    }
    const std::string_view rest = text.substr(schemeEnd + kSchemeEnd.size());
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.find('@') != std::string_view::npos)
    {
        why = "the address holds a user name or password (user:password@host); they belong in the "
              "user name and password fields";
        return std::nullopt;
    }
    if (authority.find(kChannelField) != std::string_view::npos)
    {
        why = "the address holds {channel} in its host or port; it stands for the channel only in "
              "the path and query";
        return std::nullopt;
    }
    if (authority.empty() || authority.front() == ':')
    {
        why = "the address names no host";
        return std::nullopt;
    }
    const std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url)
    {
        why = "out of memory to read the address";
        return std::nullopt;
    }
    // Checked as channel 1 would be played.
    const std::string played = replaceChannel(text, "1");
    const CURLUcode parsed =
        curl_url_set(url.get(), CURLUPART_URL, played.c_str(), CURLU_NON_SUPPORT_SCHEME);
    if (parsed != CURLUE_OK)
    {
        why = curlFault(parsed);
        return std::nullopt;
    }
    if (auto fault = hostFault(url.get()))
    {
        why = std::move(*fault);
        return std::nullopt;
    }
    return CameraUrl(std::string(text), *scheme);
}

bool CameraUrl::hasChannelField() const
{
    return m_text.find(kChannelField) != std::string::npos;
}

std::string CameraUrl::forChannel(int32_t channel) const
{
    std::string url = replaceChannel(m_text, std::to_string(channel));
    // Schemes are case-insensitive (RFC 3986), libavformat's protocol names are not.
    const std::size_t schemeEnd = url.find(kSchemeEnd);
    std::transform(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(schemeEnd), url.begin(),
                   [](char c)
                   { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return url;
}

std::string CameraUrl::withCredentials(int32_t channel, const std::string& userName,
                                       const std::string& password) const
{
    std::string url = forChannel(channel);
    if (userName.empty() && password.empty())
    {
        return url;
    }
    const std::size_t hostStart = url.find(kSchemeEnd) + kSchemeEnd.size();
    url.insert(hostStart, CameraCredentials::userInfo(userName, password) + "@");
    return url;
}

int32_t CameraUrl::uid() const
{
    return uidOf(m_text);
}

int32_t CameraUrl::uidOf(std::string_view text)
{
    std::uint32_t hash = 2166136261U;
    for (const char c : text)
    {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619U;
    }
    const auto uid = static_cast<int32_t>(hash & 0x7FFFFFFFU);
    return uid == 0 ? 1 : uid;
}

} // namespace velkor
