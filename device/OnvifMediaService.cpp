#include "device/OnvifMediaService.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"
#include "device/FrameGeometry.h"

namespace velkordevice
{

namespace
{

// The largest picture a channel makes: its video source's size.
constexpr int kSourceWidth = 2048;

void writeSize(common::XmlWriter& xml, const char* element, int width)
{
    xml.open(element)
        .leaf("tt:Width", std::to_string(width))
        .leaf("tt:Height", std::to_string(FrameGeometry::heightFor(width)))
        .close();
}

} // namespace

OnvifMediaService::OnvifMediaService(const DeviceConfig& config) : m_config(config) {}

SoapAnswer OnvifMediaService::answer(const OnvifCall& call) const
{
    const char* trt = common::SoapNamespaces::kMedia;
    if (common::XmlTree::is(call.operation, trt, "GetProfiles"))
    {
        return profiles();
    }
    if (common::XmlTree::is(call.operation, trt, "GetProfile"))
    {
        return profile(call);
    }
    if (common::XmlTree::is(call.operation, trt, "GetStreamUri"))
    {
        return streamUri(call);
    }
    if (common::XmlTree::is(call.operation, trt, "GetVideoSources"))
    {
        return videoSources();
    }
    if (common::XmlTree::is(call.operation, trt, "GetVideoEncoderConfiguration"))
    {
        return encoderConfiguration(call);
    }
    return SoapAnswer::failed(SoapFault::actionNotSupported());
}

std::string OnvifMediaService::streamUri(const std::string& baseUrl, const OnvifProfile& profile,
                                         const std::string& uriTemplate)
{
    if (!uriTemplate.empty())
    {
        const std::pair<std::string_view, std::string> fields[] = {
            {"{channel}", std::to_string(profile.channel)},
            {"{width}", std::to_string(profile.width)},
            {"{format}", StreamFormats::name(profile.format)}};
        std::string uri = uriTemplate;
        for (const auto& [field, value] : fields)
        {
            for (std::size_t at = uri.find(field); at != std::string::npos;
                 at = uri.find(field, at + value.size()))
            {
                uri.replace(at, field.size(), value);
            }
        }
        return uri;
    }
    return baseUrl + "/velkor/live?channel=" + std::to_string(profile.channel) +
           "&width=" + std::to_string(profile.width) +
           "&format=" + StreamFormats::name(profile.format);
}

SoapAnswer OnvifMediaService::profiles() const
{
    common::XmlWriter xml;
    xml.open("trt:GetProfilesResponse");
    for (const auto& profile : OnvifProfiles::all(m_config.channels))
    {
        writeProfile(xml, "trt:Profiles", profile);
    }
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifMediaService::profile(const OnvifCall& call) const
{
    const auto found = named(call);
    if (!found)
    {
        return SoapAnswer::failed(
            SoapFault::invalidArgVal("ter:NoProfile", "The requested profile does not exist"));
    }
    common::XmlWriter xml;
    xml.open("trt:GetProfileResponse");
    writeProfile(xml, "trt:Profile", *found);
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifMediaService::streamUri(const OnvifCall& call) const
{
    const auto found = named(call);
    if (!found)
    {
        return SoapAnswer::failed(
            SoapFault::invalidArgVal("ter:NoProfile", "The requested profile does not exist"));
    }
    const char* tt = common::SoapNamespaces::kSchema;
    const std::string stream = common::XmlTree::text(common::XmlTree::find(
        call.operation, {{common::SoapNamespaces::kMedia, "StreamSetup"}, {tt, "Stream"}}));
    // Every transport is answered with the one way the device serves streams.
    if (stream == "RTP-Multicast")
    {
        return SoapAnswer::failed(SoapFault::invalidArgVal(
            "ter:InvalidStreamSetup", "The device serves no multicast streams"));
    }
    common::XmlWriter xml;
    xml.open("trt:GetStreamUriResponse").open("trt:MediaUri");
    xml.leaf("tt:Uri", streamUri(call.baseUrl, *found, m_config.onvifStreamUri))
        .leaf("tt:InvalidAfterConnect", "false")
        .leaf("tt:InvalidAfterReboot", "false")
        .leaf("tt:Timeout", "PT0S");
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifMediaService::encoderConfiguration(const OnvifCall& call) const
{
    // Each profile has an encoder configuration of its own, under the profile's token.
    const auto found = OnvifProfiles::find(
        common::XmlTree::text(common::XmlTree::child(call.operation, common::SoapNamespaces::kMedia,
                                                     "ConfigurationToken")),
        m_config.channels);
    if (!found)
    {
        return SoapAnswer::failed(
            SoapFault::invalidArgVal("ter:NoConfig", "The requested configuration does not exist"));
    }
    common::XmlWriter xml;
    xml.open("trt:GetVideoEncoderConfigurationResponse");
    writeEncoder(xml, "trt:Configuration", *found);
    return SoapAnswer::of(xml.finish());
}

SoapAnswer OnvifMediaService::videoSources() const
{
    common::XmlWriter xml;
    xml.open("trt:GetVideoSourcesResponse");
    for (int channel = 1; channel <= m_config.channels; ++channel)
    {
        xml.open("trt:VideoSources", {{"token", OnvifProfiles::sourceToken(channel)}})
            .leaf("tt:Framerate", std::to_string(m_config.fps));
        writeSize(xml, "tt:Resolution", kSourceWidth);
        xml.close();
    }
    return SoapAnswer::of(xml.finish());
}

std::optional<OnvifProfile> OnvifMediaService::named(const OnvifCall& call) const
{
    return OnvifProfiles::find(common::XmlTree::text(common::XmlTree::child(
                                   call.operation, common::SoapNamespaces::kMedia, "ProfileToken")),
                               m_config.channels);
}

void OnvifMediaService::writeProfile(common::XmlWriter& xml, const char* element,
                                     const OnvifProfile& profile) const
{
    const std::string token = profile.token();
    xml.open(element, {{"token", token}, {"fixed", "true"}}).leaf("tt:Name", token);
    xml.open("tt:VideoSourceConfiguration",
             {{"token", OnvifProfiles::sourceConfigurationToken(profile.channel)}})
        .leaf("tt:Name", OnvifProfiles::sourceConfigurationToken(profile.channel))
        .leaf("tt:UseCount", std::to_string(OnvifProfiles::all(1).size()))
        .leaf("tt:SourceToken", OnvifProfiles::sourceToken(profile.channel))
        .empty("tt:Bounds", {{"x", "0"},
                             {"y", "0"},
                             {"width", std::to_string(kSourceWidth)},
                             {"height", std::to_string(FrameGeometry::heightFor(kSourceWidth))}})
        .close();
    writeEncoder(xml, "tt:VideoEncoderConfiguration", profile);
    xml.close();
}

void OnvifMediaService::writeEncoder(common::XmlWriter& xml, const char* element,
                                     const OnvifProfile& profile) const
{
    const std::string fps = std::to_string(m_config.fps);
    xml.open(element, {{"token", profile.token()}})
        .leaf("tt:Name", profile.token())
        .leaf("tt:UseCount", "1")
        .leaf("tt:Encoding", OnvifProfiles::encoding(profile.format));
    writeSize(xml, "tt:Resolution", profile.width);
    xml.leaf("tt:Quality", "5").open("tt:RateControl");
    xml.leaf("tt:FrameRateLimit", fps)
        .leaf("tt:EncodingInterval", "1")
        .leaf("tt:BitrateLimit", std::to_string(profile.width * 4))
        .close();
    // A keyframe every second; MPEG-4 is its simple profile, H.264 as x264's fastest preset
    // makes it.
    if (profile.format == StreamFormat::Mpeg4)
    {
        xml.open("tt:MPEG4").leaf("tt:GovLength", fps).leaf("tt:Mpeg4Profile", "SP").close();
    }
    if (profile.format == StreamFormat::H264)
    {
        xml.open("tt:H264").leaf("tt:GovLength", fps).leaf("tt:H264Profile", "Baseline").close();
    }
    xml.open("tt:Multicast")
        .open("tt:Address")
        .leaf("tt:Type", "IPv4")
        .leaf("tt:IPv4Address", "0.0.0.0");
    xml.close().leaf("tt:Port", "0").leaf("tt:TTL", "0").leaf("tt:AutoStart", "false").close();
    xml.leaf("tt:SessionTimeout", "PT60S").close();
}

} // namespace velkordevice
