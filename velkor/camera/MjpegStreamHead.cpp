#include "velkor/camera/MjpegStreamHead.h"

#include "common/AsciiText.h"
#include "velkor/camera/CameraText.h"

#include <algorithm>

namespace velkor
{

bool MjpegStreamHead::feed(const char* data, std::size_t size)
{
    m_head.append(data, std::min(size, kMaxBytes - m_head.size()));
    return m_head.size() < kMaxBytes && !partHeaders();
}

std::string MjpegStreamHead::fault() const
{
    const std::string_view contentType(m_contentType);
    const std::string_view type =
        common::AsciiText::trim(contentType.substr(0, contentType.find(';')));
    if (common::AsciiText::equalsNoCase(type, "image/jpeg"))
    {
        return "a single JPEG picture, not a stream of them";
    }
    const auto headers = partHeaders();
    if (!headers)
    {
        return "no multipart stream (Content-Type " +
               (type.empty() ? std::string("none") : CameraText::printable(type)) + ")";
    }
    std::string_view rest = *headers;
    while (!rest.empty())
    {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (common::AsciiText::startsWithNoCase(line, "content-type:"))
        {
            const std::string_view partType = common::AsciiText::trim(line.substr(13));
            if (common::AsciiText::startsWithNoCase(partType, "image/jpeg"))
            {
                return {};
            }
            return "a multipart stream of " + CameraText::printable(partType) +
                   ", not of JPEG pictures";
        }
    }
    return "a multipart stream whose parts do not say they are JPEG pictures";
}

std::optional<std::string_view> MjpegStreamHead::partHeaders() const
{
    std::string_view head(m_head);
    while (head.substr(0, 2) == "\r\n")
    {
        head.remove_prefix(2);
    }
    if (head.substr(0, 2) != "--")
    {
        return std::nullopt;
    }
    const std::size_t boundaryEnd = head.find('\n');
    if (boundaryEnd == std::string_view::npos)
    {
        return std::nullopt;
    }
    const std::string_view afterBoundary = head.substr(boundaryEnd + 1);
    if (afterBoundary.substr(0, 2) == "\r\n")
    {
        return std::string_view();
    }
    const std::size_t headersEnd = afterBoundary.find("\r\n\r\n");
    if (headersEnd == std::string_view::npos)
    {
        return std::nullopt;
    }
    return afterBoundary.substr(0, headersEnd + 2);
}

} // namespace velkor
