#include "velkor/onvif/OnvifCamera.h"

#include "common/SoapNamespaces.h"
#include "common/XmlTree.h"
#include "common/XmlWriter.h"
#include "velkor/camera/CameraUrl.h"
#include "velkor/onvif/OnvifAddress.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>

namespace velkor
{

using common::SoapNamespaces;
using common::XmlTree;
using common::XmlWriter;

namespace
{

const std::string kTds = SoapNamespaces::kDevice;
const std::string kTrt = SoapNamespaces::kMedia;
const std::string kTt = SoapNamespaces::kSchema;

OnvifIdentity refused(int32_t code, std::string description)
{
    OnvifIdentity identity;
    identity.code = code;
    identity.description = std::move(description);
    return identity;
}

// "H264 1280x720 (2), VP8 640x480": what the profiles carry, each kind once with its count.
std::string summary(const std::vector<OnvifProfile>& profiles)
{
    std::vector<std::pair<std::string, int>> kinds;
    for (const OnvifProfile& profile : profiles)
    {
        const std::string kind = profile.describe();
        auto found = std::find_if(kinds.begin(), kinds.end(),
                                  [&](const auto& entry) { return entry.first == kind; });
        if (found == kinds.end())
        {
            kinds.emplace_back(kind, 1);
        }
        else
        {
            ++found->second;
        }
    }
    std::string text;
    for (const auto& [kind, count] : kinds)
    {
        text += (text.empty() ? "" : ", ") + kind;
        text += count > 1 ? " (" + std::to_string(count) + ")" : "";
    }
    return text;
}

} // namespace

OnvifCamera::OnvifCamera(const std::string& host, int port, std::string userName,
                         std::string password)
    : m_name("the ONVIF camera at " + HttpClient::baseUrl(host, port)),
      m_deviceService(HttpClient::baseUrl(host, port) + OnvifClient::kDeviceServicePath),
      m_anonymous(userName.empty() && password.empty()),
      m_client(std::move(userName), std::move(password))
{
}

std::string OnvifCamera::eventsUrl() const
{
    std::lock_guard lock(m_mutex);
    return m_eventsUrl;
}

std::vector<OnvifProfile> OnvifCamera::playable() const
{
    std::lock_guard lock(m_mutex);
    return m_playable;
}

OnvifIdentity OnvifCamera::identify(const std::stop_token& stop)
{
    const OnvifAnswer time = m_client.synchroniseClock(m_deviceService, stop);
    // Cameras answer this without credentials; a peer that answers it in no SOAP at all, not
    // even a fault, is no ONVIF camera (a bare 401 included: an HTTP server that guards every
    // path says no more than that).
    if (time.response() == nullptr && !time.fault())
    {
        OnvifIdentity foreign = refused(NotVelkorDevice, time.problem(m_name));
        foreign.foreign = true;
        return foreign;
    }
    const OnvifAnswer information =
        m_client.call(m_deviceService, kTds + "/GetDeviceInformation",
                      "<tds:GetDeviceInformation xmlns:tds=\"" + kTds + "\"/>", stop);
    const xmlNode* about = information.response();
    if (about == nullptr)
    {
        return refusal(information);
    }
    std::string mediaUrl;
    std::string eventsUrl;
    if (OnvifIdentity services = readServices(stop, mediaUrl, eventsUrl); services.code != Ok)
    {
        return services;
    }
    const std::string mediaNamed = mediaUrl;
    mediaUrl = OnvifAddress::service(mediaUrl, m_deviceService);
    if (!eventsUrl.empty())
    {
        eventsUrl = OnvifAddress::service(eventsUrl, m_deviceService);
    }
    OnvifIdentity identity = readProfiles(mediaUrl, stop);
    if (identity.code != Ok)
    {
        return identity;
    }
    const auto field = [about](const char* name)
    { return XmlTree::text(XmlTree::child(about, kTds, name)); };
    identity.uid = CameraUrl::uidOf(field("Manufacturer") + "\n" + field("Model") + "\n" +
                                    field("SerialNumber"));
    std::lock_guard lock(m_mutex);
    m_mediaUrl = mediaUrl;
    m_mediaNamed = mediaNamed;
    m_eventsUrl = eventsUrl;
    m_playable = identity.playable;
    m_streamUris.clear();
    return identity;
}

OnvifIdentity OnvifCamera::readServices(const std::stop_token& stop, std::string& mediaUrl,
                                        std::string& eventsUrl)
{
    const OnvifAnswer answer =
        m_client.call(m_deviceService, kTds + "/GetCapabilities",
                      "<tds:GetCapabilities xmlns:tds=\"" + kTds +
                          "\"><tds:Category>All</tds:Category></tds:GetCapabilities>",
                      stop);
    if (const xmlNode* capabilities = XmlTree::child(answer.response(), kTds, "Capabilities"))
    {
        mediaUrl = XmlTree::text(XmlTree::find(capabilities, {{kTt, "Media"}, {kTt, "XAddr"}}));
        eventsUrl = XmlTree::text(XmlTree::find(capabilities, {{kTt, "Events"}, {kTt, "XAddr"}}));
    }
    else
    {
        // Only a camera that answered, and not about the credentials, may lack the call.
        const bool answered =
            !answer.credentialsRefused() && answer.http().outcome == HttpResult::Outcome::Completed;
        if (!answered || !readServiceList(stop, mediaUrl, eventsUrl))
        {
            return refusal(answer);
        }
    }
    if (mediaUrl.empty())
    {
        return refused(NotVelkorDevice, m_name +
                                            " offers no media service (neither GetCapabilities "
                                            "nor GetServices names one), so it has no stream to "
                                            "play");
    }
    return {};
}

bool OnvifCamera::readServiceList(const std::stop_token& stop, std::string& mediaUrl,
                                  std::string& eventsUrl)
{
    // GetCapabilities is deprecated: a camera may have left it out for GetServices.
    const OnvifAnswer answer = m_client.call(
        m_deviceService, kTds + "/GetServices",
        "<tds:GetServices xmlns:tds=\"" + kTds +
            "\"><tds:IncludeCapability>false</tds:IncludeCapability></tds:GetServices>",
        stop);
    if (answer.response() == nullptr)
    {
        return false;
    }
    for (const xmlNode* node = XmlTree::firstElement(answer.response()); node != nullptr;
         node = node->next)
    {
        const std::string ns = XmlTree::text(XmlTree::child(node, kTds, "Namespace"));
        const std::string address = XmlTree::text(XmlTree::child(node, kTds, "XAddr"));
        if (XmlTree::is(node, kTds, "Service") && ns == kTrt)
        {
            mediaUrl = address;
        }
        else if (XmlTree::is(node, kTds, "Service") && ns == SoapNamespaces::kEvents)
        {
            eventsUrl = address;
        }
    }
    return true;
}

OnvifIdentity OnvifCamera::readProfiles(const std::string& mediaUrl, const std::stop_token& stop)
{
    const OnvifAnswer answer = m_client.call(mediaUrl, kTrt + "/GetProfiles",
                                             "<trt:GetProfiles xmlns:trt=\"" + kTrt + "\"/>", stop);
    if (answer.response() == nullptr)
    {
        return refusal(answer);
    }
    const std::vector<OnvifProfile> profiles = OnvifProfile::readAll(answer.response());
    OnvifIdentity identity;
    for (const OnvifProfile& profile : profiles)
    {
        if (profile.codec)
        {
            identity.playable.push_back(profile);
        }
    }
    if (profiles.empty())
    {
        return refused(NotVelkorDevice, m_name + " has no media profiles (GetProfiles)");
    }
    if (identity.playable.empty())
    {
        return refused(NotVelkorDevice,
                       m_name +
                           " has no profile the library plays (H.264, H.265, JPEG or "
                           "MPEG-4): its profiles carry " +
                           summary(profiles));
    }
    return identity;
}

OnvifIdentity OnvifCamera::refusal(const OnvifAnswer& answer) const
{
    if (answer.credentialsRefused())
    {
        const std::string why =
            answer.fault() ? answer.fault()->describe() : std::string("HTTP 401");
        return refused(CredentialsRefused,
                       m_name +
                           (m_anonymous ? " requires a user name and password"
                                        : " refused the user name and password") +
                           " (" + answer.operation() + ": " + why + ")");
    }
    switch (answer.http().outcome)
    {
    case HttpResult::Outcome::Unreachable:
        return refused(DeviceUnreachable, answer.problem(m_name));
    case HttpResult::Outcome::TimedOut:
        return refused(DeviceTimedOut, answer.problem(m_name));
    default:
        return refused(DeviceRequestFailed, answer.problem(m_name));
    }
}

OnvifStreamUri OnvifCamera::streamUri(int32_t channel, const std::stop_token& stop)
{
    std::string mediaUrl;
    std::string mediaNamed;
    OnvifProfile profile;
    {
        std::lock_guard lock(m_mutex);
        if (const auto known = m_streamUris.find(channel); known != m_streamUris.end())
        {
            return known->second;
        }
        if (channel < 1 || static_cast<std::size_t>(channel) > m_playable.size())
        {
            return {ChannelUnknown,
                    m_name + " has no profile for channel " + std::to_string(channel),
                    {},
                    {}};
        }
        mediaUrl = m_mediaUrl;
        mediaNamed = m_mediaNamed;
        profile = m_playable[static_cast<std::size_t>(channel) - 1];
    }
    OnvifStreamUri uri = askStreamUri(mediaUrl, profile, stop);
    if (uri.code != Ok)
    {
        return uri;
    }
    uri.uri = OnvifAddress::stream(uri.uri, m_deviceService, mediaNamed);
    if (uri.uri.empty())
    {
        // The URI is not repeated: a camera may have put credentials into it.
        return {DeviceRequestFailed,
                m_name + " named a stream URI that is no URL (GetStreamUri)",
                {},
                uri.codec};
    }
    std::lock_guard lock(m_mutex);
    return m_streamUris[channel] = uri;
}

OnvifStreamUri OnvifCamera::askStreamUri(const std::string& mediaUrl, const OnvifProfile& profile,
                                         const std::stop_token& stop) const
{
    const OnvifAnswer answer = m_client.call(
        mediaUrl, kTrt + "/GetStreamUri",
        "<trt:GetStreamUri xmlns:trt=\"" + kTrt + "\" xmlns:tt=\"" + kTt +
            "\"><trt:StreamSetup><tt:Stream>RTP-Unicast</tt:Stream><tt:Transport><tt:Protocol>" +
            "RTSP</tt:Protocol></tt:Transport></trt:StreamSetup><trt:ProfileToken>" +
            XmlWriter::escape(profile.token) + "</trt:ProfileToken></trt:GetStreamUri>",
        stop);
    const std::string uri =
        XmlTree::text(XmlTree::find(answer.response(), {{kTrt, "MediaUri"}, {kTt, "Uri"}}));
    if (uri.empty())
    {
        const OnvifIdentity why = refusal(answer);
        return {why.code,
                answer.response() == nullptr ? why.description
                                             : m_name + " named no URI in GetStreamUri",
                {},
                *profile.codec};
    }
    return {Ok, {}, uri, *profile.codec};
}

} // namespace velkor
