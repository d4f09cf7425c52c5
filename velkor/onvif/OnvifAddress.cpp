#include "velkor/onvif/OnvifAddress.h"

#include <curl/curl.h>

#include <memory>
#include <optional>

namespace velkor
{
namespace
{

// A camera's paths go as it wrote them: no dot segments resolved, whatever the scheme.
constexpr unsigned int kAsWritten = CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS;

struct UrlDeleter
{
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlDeleter>;

// `text` read as a URL, or relative to `base` where there is one; null when it is neither.
Url parsed(const std::string& text, CURLU* base = nullptr)
{
    Url url(base != nullptr ? curl_url_dup(base) : curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), kAsWritten) != CURLUE_OK)
    {
        return nullptr;
    }
    return url;
}

std::optional<std::string> partOf(CURLU* url, CURLUPart part, unsigned int flags = 0)
{
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || value == nullptr)
    {
        return std::nullopt;
    }
    std::string copy(value);
    curl_free(value);
    return copy;
}

bool setPart(CURLU* url, CURLUPart part, const std::optional<std::string>& value)
{
    return curl_url_set(url, part, value ? value->c_str() : nullptr, kAsWritten) == CURLUE_OK;
}

// Whether both name one server: the same scheme, host and port, a scheme's own port included.
bool sameServer(CURLU* one, const std::string& other)
{
    const Url second = parsed(other);
    if (!second)
    {
        return false;
    }
    const auto same = [&](CURLUPart part, unsigned int flags)
    {
        const auto mine = partOf(one, part, flags);
        const auto theirs = partOf(second.get(), part, flags);
        return mine && theirs && curl_strequal(mine->c_str(), theirs->c_str()) != 0;
    };
    return same(CURLUPART_SCHEME, 0) && same(CURLUPART_HOST, 0) &&
           same(CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

} // namespace

std::string OnvifAddress::service(const std::string& named, const std::string& asked)
{
    const Url base = parsed(asked);
    if (!base)
    {
        return asked;
    }
    Url where = parsed(named);
    if (!where)
    {
        where = parsed(named, base.get());
    }
    const std::optional<std::string> path =
        where ? partOf(where.get(), CURLUPART_PATH) : std::string("/");
    const std::optional<std::string> query =
        where ? partOf(where.get(), CURLUPART_QUERY) : std::nullopt;
    if (!setPart(base.get(), CURLUPART_PATH, path.value_or("/")) ||
        !setPart(base.get(), CURLUPART_QUERY, query) ||
        !setPart(base.get(), CURLUPART_FRAGMENT, std::nullopt))
    {
        return asked;
    }
    return partOf(base.get(), CURLUPART_URL).value_or(asked);
}

std::string OnvifAddress::stream(const std::string& named, const std::string& asked,
                                 const std::string& servedBy)
{
    const Url uri = parsed(named);
    const Url base = parsed(asked);
    if (!uri || !base)
    {
        return {};
    }
    const bool served = sameServer(uri.get(), servedBy);
    if (!setPart(uri.get(), CURLUPART_ZONEID, std::nullopt) ||
        !setPart(uri.get(), CURLUPART_HOST, partOf(base.get(), CURLUPART_HOST)) ||
        (served && !setPart(uri.get(), CURLUPART_PORT,
                            partOf(base.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT))))
    {
        return {};
    }
    return partOf(uri.get(), CURLUPART_URL).value_or(std::string());
}

} // namespace velkor
