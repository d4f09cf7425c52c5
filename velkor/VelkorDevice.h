#pragma once

#include "velkor/DeviceAccess.h"
#include "velkor/HttpClient.h"
#include "velkor/Settings.h"

namespace velkor
{

// A device that speaks our HTTP protocol: /velkor/info says who it is, /velkor/events what it
// raises by itself, /velkor/live its pictures; all with the settings' address, port and
// credentials.
class VelkorDevice final : public DeviceAccess
{
public:
    explicit VelkorDevice(SettingsSnapshot settings);

    std::string name() const override;
    DeviceAnswer identify(StopSignal& stop) const override;
    std::unique_ptr<EventStream> followEvents(EventStream::EventHandler onEvent,
                                              EventStream::EndHandler onEnd) const override;
    std::unique_ptr<StreamSource> liveSource(PictureSink& output,
                                             std::unique_ptr<LiveObserver> observer) const override;

private:
    DeviceAnswer answerTo(const HttpResult& result) const;
    HttpRequest requestFor(const std::string& path) const;

    const SettingsSnapshot m_settings;
};

} // namespace velkor
