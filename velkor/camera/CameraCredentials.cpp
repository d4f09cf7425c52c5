#include "velkor/camera/CameraCredentials.h"

namespace velkor
{
namespace
{

bool keptAsIs(unsigned char byte, bool inPassword)
{
    const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                            byte == '_' || byte == '~';
    // RFC 3986's sub-delims; a colon only after the one that ends the user name.
    static constexpr std::string_view kSubDelims = "!$&'()*+,;=";
    return unreserved || kSubDelims.find(static_cast<char>(byte)) != std::string_view::npos ||
           (inPassword && byte == ':');
}

void appendEncoded(std::string& out, const std::string& text, bool inPassword)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (keptAsIs(byte, inPassword))
        {
            out += c;
        }
        else
        {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
    {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F')
    {
        return c - 'A' + 10;
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string percentDecoded(std::string_view text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const int high = i + 2 < text.size() && text[i] == '%' ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0)
        {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        }
        else
        {
            decoded += text[i];
        }
    }
    return decoded;
}

} // namespace

std::vector<std::string> CameraCredentials::secretsIn(const std::string& url)
{
    const std::size_t start = url.find("://");
    if (start == std::string::npos)
    {
        return {};
    }
    const std::size_t hostEnd = url.find_first_of("/?#", start + 3);
    const std::size_t at = url.rfind('@', hostEnd);
    if (at == std::string::npos || at < start)
    {
        return {};
    }
    const std::string info = url.substr(start + 3, at - start - 3);
    const std::size_t colon = info.find(':');
    std::vector<std::string> secrets{info};
    if (colon != std::string::npos && colon + 1 < info.size())
    {
        secrets.push_back(info.substr(colon + 1));
        secrets.push_back(percentDecoded(info.substr(colon + 1)));
    }
    return secrets;
}

std::string CameraCredentials::userInfo(const std::string& userName, const std::string& password)
{
    std::string info;
    appendEncoded(info, userName, false);
    info += ':';
    appendEncoded(info, password, true);
    return info;
}

std::optional<std::string> CameraCredentials::fault(CameraScheme scheme,
                                                    const std::string& userName,
                                                    const std::string& password)
{
    if (scheme != CameraScheme::Rtsp || (userName.empty() && password.empty()))
    {
        return std::nullopt;
    }
    const std::size_t length = userInfo(userName, password).size();
    if (length <= kMaxRtspUserInfo)
    {
        return std::nullopt;
    }
    return "the user name and password are too long for an RTSP camera's stream: as "
           "user:password, percent-encoded where a URL needs it (3 bytes for each byte of a "
           "character outside ASCII), they take " +
           std::to_string(length) +
           " bytes, and libavformat, which plays the stream, keeps at most " +
           std::to_string(kMaxRtspUserInfo);
}

} // namespace velkor
