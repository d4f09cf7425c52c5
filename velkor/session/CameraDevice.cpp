#include "velkor/session/CameraDevice.h"

#include "velkor/camera/CameraProbe.h"
#include "velkor/camera/CameraStream.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"

namespace velkor
{

CameraDevice::CameraDevice(CameraUrl url, const SettingsSnapshot& settings)
    : m_url(std::move(url)), m_userName(settings.userName), m_password(settings.password),
      m_format(std::make_shared<std::atomic<int32_t>>(-1))
{
}

std::string CameraDevice::name() const
{
    return CameraProbe::nameOf(m_url);
}

DeviceAnswer CameraDevice::identify(const std::stop_token& stop) const
{
    // A URL with {channel} is asked for channel 1, which every camera has.
    const CameraAnswer answer = CameraProbe::ask(m_url, 1, m_userName, m_password, stop);
    if (answer.code != Ok)
    {
        return DeviceAnswer{answer.code, answer.description, {}};
    }
    DeviceInfo info;
    info.uid = m_url.uid();
    info.channels = m_url.hasChannelField() ? kChannelFieldChannels : 1;
    info.formats = {*answer.codec};
    m_format->store(StreamFormats::code(*answer.codec));
    return DeviceAnswer{Ok, {}, info};
}

std::unique_ptr<EventFollower> CameraDevice::followEvents(EventStream::EventHandler /*onEvent*/,
                                                          EventStream::EndHandler /*onEnd*/) const
{
    return nullptr;
}

std::unique_ptr<StreamSource> CameraDevice::liveSource(PictureSink& output,
                                                       std::unique_ptr<LiveObserver> observer) const
{
    return std::make_unique<CameraStream>(
        output, std::move(observer), m_url, CameraStream::Credentials{m_userName, m_password},
        [format = m_format](VideoCodec codec) { format->store(StreamFormats::code(codec)); });
}

std::string CameraDevice::channelRefusal(int32_t channel, const DeviceInfo& /*info*/) const
{
    if (m_url.hasChannelField())
    {
        return "channel " + std::to_string(channel) + " cannot stand in for {channel} in " +
               name() + " (1 to " + std::to_string(kChannelFieldChannels) + ")";
    }
    return name() + " has channel 1 only: put {channel} into the URL where the channel number " +
           "goes to play channel " + std::to_string(channel);
}

std::optional<int32_t> CameraDevice::decidedFormat(const std::string& address) const
{
    const int32_t format = m_format->load();
    if (address != m_url.text() || format < 0)
    {
        return std::nullopt;
    }
    return format;
}

} // namespace velkor
