#include "velkor/onvif/OnvifProfile.h"

#include "common/AsciiText.h"
#include "common/Decimal.h"
#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "velkor/camera/CameraText.h"

namespace velkor
{

namespace AsciiText = common::AsciiText;
namespace Decimal = common::Decimal;
using common::SoapNamespaces;
using common::XmlTree;

namespace
{

// ver10's enumeration names three; cameras (and the media service ver20) write H265 or HEVC.
std::optional<VideoCodec> codecOf(std::string_view encoding)
{
    if (AsciiText::equalsNoCase(encoding, "JPEG"))
    {
        return VideoCodec::Jpeg;
    }
    if (AsciiText::equalsNoCase(encoding, "MPEG4"))
    {
        return VideoCodec::Mpeg4;
    }
    if (AsciiText::equalsNoCase(encoding, "H264"))
    {
        return VideoCodec::H264;
    }
    if (AsciiText::equalsNoCase(encoding, "H265") || AsciiText::equalsNoCase(encoding, "HEVC"))
    {
        return VideoCodec::H265;
    }
    return std::nullopt;
}

int dimension(const xmlNode* resolution, const char* name)
{
    const auto value = Decimal::toInt32(
        XmlTree::text(XmlTree::child(resolution, SoapNamespaces::kSchema, name)), 1, 65535);
    return value.value_or(0);
}

} // namespace

std::vector<OnvifProfile> OnvifProfile::readAll(const xmlNode* response)
{
    const char* tt = SoapNamespaces::kSchema;
    std::vector<OnvifProfile> profiles;
    for (const xmlNode* node = XmlTree::firstElement(response); node != nullptr; node = node->next)
    {
        if (!XmlTree::is(node, SoapNamespaces::kMedia, "Profiles"))
        {
            continue;
        }
        OnvifProfile profile;
        profile.token = XmlTree::attribute(node, "token");
        const xmlNode* encoder = XmlTree::child(node, tt, "VideoEncoderConfiguration");
        const std::string encoding = XmlTree::text(XmlTree::child(encoder, tt, "Encoding"));
        profile.encoding = CameraText::printable(encoding);
        profile.codec = codecOf(encoding);
        const xmlNode* resolution = XmlTree::child(encoder, tt, "Resolution");
        profile.width = dimension(resolution, "Width");
        profile.height = dimension(resolution, "Height");
        const xmlNode* source = XmlTree::child(node, tt, "VideoSourceConfiguration");
        profile.videoSource = XmlTree::text(XmlTree::child(source, tt, "SourceToken"));
        profile.videoSourceConfiguration = XmlTree::attribute(source, "token");
        if (!profile.token.empty())
        {
            profiles.push_back(std::move(profile));
        }
    }
    return profiles;
}

std::string OnvifProfile::describe() const
{
    std::string text = encoding.empty() ? "no video" : encoding;
    if (width > 0 && height > 0)
    {
        text += " " + std::to_string(width) + "x" + std::to_string(height);
    }
    return text;
}

} // namespace velkor
