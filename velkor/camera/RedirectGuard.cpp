#include "velkor/camera/RedirectGuard.h"

#include "common/AsciiText.h"
#include "velkor/camera/CameraText.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace velkor
{
namespace
{

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlDeleter>;

std::string partOf(CURLU* url, CURLUPart part, unsigned flags = 0)
{
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || value == nullptr)
    {
        return {};
    }
    std::string copy(value);
    curl_free(value);
    return copy;
}

// Where a URL leads: scheme, host and port, in lower case.
std::string originOf(CURLU* url)
{
    std::string origin = partOf(url, CURLUPART_SCHEME) + "://" + partOf(url, CURLUPART_HOST) + ":" +
                         partOf(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    std::transform(origin.begin(), origin.end(), origin.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return origin;
}

// `location` read against `base` (`base` itself when empty), or nothing when it is no URL.
Url resolved(const std::string& base, std::string_view location)
{
    Url url(curl_url());
    const std::string text(location);
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, base.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        (!text.empty() && curl_url_set(url.get(), CURLUPART_URL, text.c_str(),
                                       CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK))
    {
        return nullptr;
    }
    return url;
}

} // namespace

void RedirectGuard::restart(const std::string& url)
{
    m_followed.assign(1, url);
    m_current = url;
    m_refusal.clear();
}

bool RedirectGuard::follow(std::string_view location)
{
    if (refused() || m_followed.empty())
    {
        return false;
    }
    const Url base = resolved(m_followed.front(), "");
    const Url target = resolved(m_current, common::AsciiText::trim(location));
    const std::string where = shown(m_current, location);
    if (!base || !target)
    {
        m_refusal = "it redirected the stream to " + where + ", which is no URL";
        return false;
    }
    if (originOf(target.get()) != originOf(base.get()))
    {
        m_refusal = "it redirected the stream to " + where +
                    ", another host or port; the library follows a camera's redirect only to "
                    "the camera itself";
        return false;
    }
    if (static_cast<int>(m_followed.size()) > kMaxRedirects)
    {
        m_refusal = "it redirected the stream more than " + std::to_string(kMaxRedirects) +
                    " times, last to " + where;
        return false;
    }
    m_followed.emplace_back(location);
    m_current = partOf(target.get(), CURLUPART_URL);
    return true;
}

std::string RedirectGuard::shown(const std::string& base, std::string_view location)
{
    const Url target = resolved(base, common::AsciiText::trim(location));
    if (!target)
    {
        return "\"" + CameraText::printable(location) + "\"";
    }
    curl_url_set(target.get(), CURLUPART_USER, nullptr, 0);
    curl_url_set(target.get(), CURLUPART_PASSWORD, nullptr, 0);
    return CameraText::printable(partOf(target.get(), CURLUPART_URL));
}

bool RedirectGuard::knows(std::string_view url) const
{
    return std::find(m_followed.begin(), m_followed.end(), url) != m_followed.end();
}

} // namespace velkor
