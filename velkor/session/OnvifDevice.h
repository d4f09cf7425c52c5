#pragma once

#include "velkor/onvif/OnvifCamera.h"
#include "velkor/session/DeviceAccess.h"
#include "velkor/session/SettingsSnapshot.h"

#include <atomic>
#include <memory>

namespace velkor
{

// An ONVIF camera at the settings' address and HTTP port, asked when the address holds no velkor
// device: Open asks its device and media services who it is and which profiles it has, channel
// N plays the Nth profile the library decodes, and the picture comes from the profile's stream
// URI (OnvifStream). It decides its stream format and picture width itself. Where it has an event
// service, its motion is raised as alarms (PullPointFollower), and a camera that stops answering
// that service loses the session; without one, its session is never lost: only its stream is.
class OnvifDevice final : public DeviceAccess
{
public:
    explicit OnvifDevice(const SettingsSnapshot& settings);

    std::string name() const override;
    DeviceAnswer identify(const std::stop_token& stop) const override;
    // Its motion through pull-point subscriptions of its event service; null without one.
    std::unique_ptr<EventFollower> followEvents(EventStream::EventHandler onEvent,
                                                EventStream::EndHandler onEnd) const override;
    std::unique_ptr<StreamSource> liveSource(PictureSink& output,
                                             std::unique_ptr<LiveObserver> observer) const override;
    bool decidesStream() const override { return true; }
    std::string channelRefusal(int32_t channel, const DeviceInfo& info) const override;
    std::optional<int32_t> decidedFormat(const std::string& address) const override;

    const OnvifCamera& camera() const { return *m_camera; }

private:
    const std::string m_address;
    const std::string m_userName;
    const std::string m_password;
    // Shared with the streams, which may outlive a session's end.
    const std::shared_ptr<OnvifCamera> m_camera;
    // The interface's code of the format the camera sends; -1 until known.
    const std::shared_ptr<std::atomic<int32_t>> m_format;
};

} // namespace velkor
