#pragma once

#include "velkor/net/HttpClient.h"
#include "velkor/session/DeviceAccess.h"
#include "velkor/session/SettingsSnapshot.h"

#include <chrono>

namespace velkor
{

// A device that speaks our HTTP protocol: /velkor/info says who it is, /velkor/events what it
// raises by itself, /velkor/live its pictures; all with the settings' address, port and
// credentials.
class VelkorDevice final : public DeviceAccess
{
public:
    // The device sends a keepalive every second; silence well beyond that means it is gone.
    static constexpr std::chrono::milliseconds kEventSilence{6000};
    static constexpr std::chrono::milliseconds kLiveSilence{5000};

    explicit VelkorDevice(SettingsSnapshot settings);

    std::string name() const override;
    DeviceAnswer identify(const std::stop_token& stop) const override;
    std::unique_ptr<EventFollower> followEvents(EventStream::EventHandler onEvent,
                                                EventStream::EndHandler onEnd) const override;
    std::unique_ptr<StreamSource> liveSource(PictureSink& output,
                                             std::unique_ptr<LiveObserver> observer) const override;

private:
    DeviceAnswer answerTo(const HttpResult& result) const;
    HttpRequest requestFor(const std::string& path) const;

    const SettingsSnapshot m_settings;
};

} // namespace velkor
