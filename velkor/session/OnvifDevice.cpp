#include "velkor/session/OnvifDevice.h"

#include "velkor/onvif/PullPointFollower.h"
#include "velkor/report/EventFollower.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/OnvifStream.h"

#include <algorithm>

namespace velkor
{

OnvifDevice::OnvifDevice(const SettingsSnapshot& settings)
    : m_address(settings.address), m_userName(settings.userName), m_password(settings.password),
      m_camera(std::make_shared<OnvifCamera>(settings.address, settings.port, settings.userName,
                                             settings.password)),
      m_format(std::make_shared<std::atomic<int32_t>>(-1))
{
}

std::string OnvifDevice::name() const
{
    return m_camera->name();
}

DeviceAnswer OnvifDevice::identify(const std::stop_token& stop) const
{
    const OnvifIdentity identity = m_camera->identify(stop);
    if (identity.code != Ok)
    {
        DeviceAnswer refusal{identity.code, identity.description, {}};
        refusal.foreign = identity.foreign;
        return refusal;
    }
    DeviceInfo info;
    info.uid = identity.uid;
    info.channels = static_cast<int32_t>(identity.playable.size());
    for (const OnvifProfile& profile : identity.playable)
    {
        if (std::find(info.formats.begin(), info.formats.end(), *profile.codec) ==
            info.formats.end())
        {
            info.formats.push_back(*profile.codec);
        }
    }
    m_format->store(StreamFormats::code(info.formats.front()));
    return DeviceAnswer{Ok, {}, info};
}

std::unique_ptr<EventFollower> OnvifDevice::followEvents(EventStream::EventHandler onEvent,
                                                         EventStream::EndHandler onEnd) const
{
    const std::string events = m_camera->eventsUrl();
    if (events.empty())
    {
        return nullptr;
    }
    PullPointFollower::Camera camera{m_camera->name(), events, {}};
    const std::vector<OnvifProfile> profiles = m_camera->playable();
    for (std::size_t index = 0; index < profiles.size(); ++index)
    {
        // A source's motion goes to the first channel that plays it.
        const auto channel = static_cast<int32_t>(index + 1);
        for (const std::string* token :
             {&profiles[index].videoSource, &profiles[index].videoSourceConfiguration})
        {
            if (!token->empty())
            {
                camera.channels.emplace(*token, channel);
            }
        }
    }
    // The client lives as long as the camera, which the follower keeps.
    std::shared_ptr<const OnvifClient> client(m_camera, &m_camera->client());
    return std::make_unique<PullPointFollower>(
        std::move(client), std::move(camera),
        [onEvent = std::move(onEvent)](int32_t channel, int32_t status, const std::string& time)
        {
            DeviceEvent event;
            event.kind = DeviceEvent::Kind::Alarm;
            event.channel = channel;
            event.type = DeviceEvent::kMotionAlarm;
            event.status = status;
            event.time = time;
            onEvent(event);
        },
        std::move(onEnd));
}

std::unique_ptr<StreamSource> OnvifDevice::liveSource(PictureSink& output,
                                                      std::unique_ptr<LiveObserver> observer) const
{
    return std::make_unique<OnvifStream>(
        output, std::move(observer), m_camera, CameraStream::Credentials{m_userName, m_password},
        [format = m_format](VideoCodec codec) { format->store(StreamFormats::code(codec)); });
}

std::string OnvifDevice::channelRefusal(int32_t channel, const DeviceInfo& info) const
{
    return name() + " has " + std::to_string(info.channels) +
           (info.channels == 1 ? " profile" : " profiles") +
           " the library plays, one a channel (1 to " + std::to_string(info.channels) +
           "); channel " + std::to_string(channel) + " is beyond them";
}

std::optional<int32_t> OnvifDevice::decidedFormat(const std::string& address) const
{
    const int32_t format = m_format->load();
    if (address != m_address || format < 0)
    {
        return std::nullopt;
    }
    return format;
}

} // namespace velkor
