#pragma once

#include "velkor/onvif/OnvifClient.h"
#include "velkor/onvif/OnvifProfile.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

namespace velkor
{

// What Open's questions learned of an ONVIF camera, or the code and text it is refused with.
struct OnvifIdentity
{
    int32_t code = 0;
    std::string description;
    // The peer answered GetSystemDateAndTime with no SOAP at all: it is no ONVIF camera.
    bool foreign = false;
    int32_t uid = 0;
    // The profiles the library plays, in the camera's order: channel N is the Nth.
    std::vector<OnvifProfile> playable;
};

// A stream URI of GetStreamUri, or why there is none.
struct OnvifStreamUri
{
    int32_t code = 0;
    std::string description;
    std::string uri;
    // What the channel's profile sends.
    VideoCodec codec = VideoCodec::Jpeg;
};

// An ONVIF camera at an address and HTTP port: its device service's questions at Open
// (GetSystemDateAndTime, GetDeviceInformation, GetCapabilities, GetProfiles) and the stream URI
// of a channel's profile, asked once and kept. Safe to use from any thread.
class OnvifCamera
{
public:
    OnvifCamera(const std::string& host, int port, std::string userName, std::string password);

    // "the ONVIF camera at http://127.0.0.1:80", for messages.
    const std::string& name() const { return m_name; }
    // The client, its clock set to the camera's by identify(), for the camera's other services.
    const OnvifClient& client() const { return m_client; }
    // The event service's address from GetCapabilities or GetServices, where it is asked
    // (OnvifAddress); empty when the camera has none.
    std::string eventsUrl() const;
    // The profiles the channels play, as identify() read them: channel N plays the Nth.
    std::vector<OnvifProfile> playable() const;

    OnvifIdentity identify(const std::stop_token& stop);
    // GetStreamUri (RTP-Unicast over RTSP) of the profile `channel` plays, asked once per
    // channel while the camera's profiles stay those identify() read; the URI where it is
    // played (OnvifAddress).
    OnvifStreamUri streamUri(int32_t channel, const std::stop_token& stop);

private:
    OnvifIdentity refusal(const OnvifAnswer& answer) const;
    // GetCapabilities: the media and events services' addresses; a refusal when there is no media.
    OnvifIdentity readServices(const std::stop_token& stop, std::string& mediaUrl,
                               std::string& eventsUrl);
    // GetServices, for a camera without GetCapabilities: false when it gave no answer either.
    bool readServiceList(const std::stop_token& stop, std::string& mediaUrl,
                         std::string& eventsUrl);
    OnvifIdentity readProfiles(const std::string& mediaUrl, const std::stop_token& stop);
    // GetStreamUri of `profile`: the URI as the camera named it.
    OnvifStreamUri askStreamUri(const std::string& mediaUrl, const OnvifProfile& profile,
                                const std::stop_token& stop) const;

    const std::string m_name;
    const std::string m_deviceService;
    const bool m_anonymous;
    OnvifClient m_client;
    mutable std::mutex m_mutex;
    // The media service where it is asked, and as the camera named it.
    std::string m_mediaUrl;
    std::string m_mediaNamed;
    std::string m_eventsUrl;
    std::vector<OnvifProfile> m_playable;
    std::map<int32_t, OnvifStreamUri> m_streamUris;
};

} // namespace velkor
