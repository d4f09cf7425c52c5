#include "velkor/session/DeviceEventReporter.h"

#include "devicelib/IAppCallBack.h"
#include "velkor/native/DeviceEvent.h"
#include "velkor/report/EventDispatcher.h"
#include "velkor/report/PlayCallbacks.h"

namespace velkor
{
namespace
{

std::uint64_t stateKey(DeviceEvent::Kind kind, int32_t channel)
{
    return (static_cast<std::uint64_t>(kind) << 32) | static_cast<std::uint32_t>(channel);
}

} // namespace

DeviceEventReporter::DeviceEventReporter(EventDispatcher& dispatcher, PlayCallbacks& callbacks)
    : m_dispatcher(dispatcher), m_callbacks(callbacks)
{
}

void DeviceEventReporter::report(const DeviceEvent& event, int32_t channels)
{
    const int32_t channel = event.channel;
    const int32_t status = event.status;
    // Channel 0 stands for the session itself in OnDevStatus.
    if (channel < 1 || channel > channels)
    {
        return;
    }
    switch (event.kind)
    {
    case DeviceEvent::Kind::Alarm:
        m_dispatcher.postDroppable(
            [channel, type = event.type, time = event.time, status](IAppListener& listener)
            { listener.OnAlmStatus(channel, type, time.c_str(), status); },
            m_callbacks.bind([status](IAppCallBack& callback) { callback.OnAlmStatusCB(status); }));
        break;
    case DeviceEvent::Kind::Record:
        m_dispatcher.postState(
            stateKey(event.kind, channel),
            [channel, status](IAppListener& listener) { listener.OnRecStatus(channel, status); },
            m_callbacks.bind([status](IAppCallBack& callback) { callback.OnRecCB(status); }));
        break;
    case DeviceEvent::Kind::Channel:
        m_dispatcher.postState(stateKey(event.kind, channel),
                               [channel, status](IAppListener& listener)
                               { listener.OnDevStatus(channel, status); });
        break;
    }
}

} // namespace velkor
