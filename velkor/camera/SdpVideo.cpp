#include "velkor/camera/SdpVideo.h"

#include "common/AsciiText.h"

#include <array>
#include <utility>

namespace velkor
{
namespace
{

// Encodings as RTP names them (RFC 6184, 7798, 2435, 6416).
constexpr std::array<std::pair<std::string_view, VideoCodec>, 4> kEncodings{{
    {"H264", VideoCodec::H264},
    {"H265", VideoCodec::H265},
    {"JPEG", VideoCodec::Jpeg},
    {"MP4V-ES", VideoCodec::Mpeg4},
}};

// The static payload type of JPEG, which needs no rtpmap line.
constexpr std::string_view kStaticJpeg = "26";

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
    {
        if (c >= 'a' && c <= 'z')
        {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

// The next line of `rest`, without its line end; `rest` moves past it.
std::string_view nextLine(std::string_view& rest)
{
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return common::AsciiText::trim(line);
}

// The first payload type of an "m=video PORT PROTO PT..." line.
std::string_view firstPayloadType(std::string_view media)
{
    for (int field = 0; field < 3; ++field)
    {
        const std::size_t space = media.find(' ');
        if (space == std::string_view::npos)
        {
            return {};
        }
        media.remove_prefix(space + 1);
    }
    return media.substr(0, media.find(' '));
}

} // namespace

std::optional<SdpVideo> SdpVideo::parse(std::string_view sdp)
{
    std::string_view rest = sdp;
    bool inVideo = false;
    std::string_view payloadType;
    std::optional<SdpVideo> video;
    while (!rest.empty())
    {
        const std::string_view line = nextLine(rest);
        if (line.substr(0, 2) == "m=")
        {
            if (video)
            {
                break;
            }
            inVideo = line.substr(0, 8) == "m=video ";
            if (inVideo)
            {
                payloadType = firstPayloadType(line);
                video.emplace();
                if (payloadType == kStaticJpeg)
                {
                    video->encoding = "JPEG";
                }
            }
            continue;
        }
        const std::string prefix = "a=rtpmap:" + std::string(payloadType) + " ";
        if (inVideo && !payloadType.empty() && line.substr(0, prefix.size()) == prefix)
        {
            const std::string_view mapping = line.substr(prefix.size());
            video->encoding = upper(common::AsciiText::trim(mapping.substr(0, mapping.find('/'))));
        }
    }
    if (video)
    {
        for (const auto& [name, codec] : kEncodings)
        {
            if (video->encoding == name)
            {
                video->codec = codec;
            }
        }
    }
    return video;
}

} // namespace velkor
