#pragma once

#include "velkor/camera/CameraUrl.h"
#include "velkor/session/DeviceAccess.h"
#include "velkor/session/SettingsSnapshot.h"

#include <atomic>
#include <memory>

namespace velkor
{

// A standard camera at a URL: Open asks it whether it plays there (CameraProbe), its pictures
// come through a CameraStream, and it raises no events of its own, so its session is never lost:
// only its stream is. It decides its stream format and picture width itself; the format it sends
// is known from Open's answer and from each stream opened since.
class CameraDevice final : public DeviceAccess
{
public:
    // How many channels a URL that holds {channel} offers: as many as the interface can name.
    static constexpr int32_t kChannelFieldChannels = 65535;

    CameraDevice(CameraUrl url, const SettingsSnapshot& settings);

    std::string name() const override;
    DeviceAnswer identify(const std::stop_token& stop) const override;
    std::unique_ptr<EventFollower> followEvents(EventStream::EventHandler onEvent,
                                                EventStream::EndHandler onEnd) const override;
    std::unique_ptr<StreamSource> liveSource(PictureSink& output,
                                             std::unique_ptr<LiveObserver> observer) const override;
    bool decidesStream() const override { return true; }
    std::string channelRefusal(int32_t channel, const DeviceInfo& info) const override;
    std::optional<int32_t> decidedFormat(const std::string& address) const override;

private:
    const CameraUrl m_url;
    const std::string m_userName;
    const std::string m_password;
    // The interface's code of the format the camera sends; -1 until known. Shared with the
    // streams, which may outlive a session's end.
    const std::shared_ptr<std::atomic<int32_t>> m_format;
};

} // namespace velkor
