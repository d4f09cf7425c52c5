#include "velkor/session/Session.h"

#include "velkor/native/EventStream.h"
#include "velkor/report/EventDispatcher.h"
#include "velkor/report/EventFollower.h"
#include "velkor/report/ResultCode.h"
#include "velkor/session/DeviceEventReporter.h"

namespace velkor
{

Session::Session(EventDispatcher& dispatcher, DeviceEventReporter& reporter)
    : m_dispatcher(dispatcher), m_reporter(reporter)
{
}

Session::~Session()
{
    end();
}

void Session::onLost(LostHook hook)
{
    m_onLost = std::move(hook);
}

int32_t Session::open(std::vector<std::unique_ptr<DeviceAccess>> kinds, const std::stop_token& stop)
{
    end();
    std::shared_ptr<const DeviceAccess> device = std::move(kinds.front());
    DeviceAnswer answer = device->identify(stop);
    for (auto next = kinds.begin() + 1; next != kinds.end() && !stop.stop_requested(); ++next)
    {
        // A device that refuses the credentials may be of another kind that guards every path.
        if (answer.code != NotVelkorDevice && answer.code != CredentialsRefused)
        {
            break;
        }
        DeviceAnswer otherAnswer = (*next)->identify(stop);
        // Both kinds refusing the credentials say so together: a velkor device may speak ONVIF
        // too, and a camera may guard the velkor path as well as its own.
        if (answer.code == CredentialsRefused && otherAnswer.code == CredentialsRefused)
        {
            otherAnswer.description = answer.description + "; " + otherAnswer.description;
        }
        // A peer that speaks the other kind's protocol no better keeps the first kind's answer.
        if (!otherAnswer.foreign)
        {
            answer = std::move(otherAnswer);
            device = std::move(*next);
        }
    }
    if (answer.code != Ok)
    {
        m_dispatcher.postError(answer.code, answer.description);
        return answer.code;
    }
    std::lock_guard lock(m_mutex);
    m_device = std::move(device);
    establishLocked(answer.info);
    return answer.info.uid;
}

void Session::reopen(const DeviceInfo& info)
{
    std::lock_guard lock(m_mutex);
    if (m_device)
    {
        establishLocked(info);
    }
}

bool Session::end()
{
    const bool wasUsable = usable();
    std::lock_guard lock(m_mutex);
    // The events' thread never waits for this lock, so stopping it here cannot deadlock.
    m_events.reset();
    m_open = false;
    m_uid = 0;
    return wasUsable;
}

bool Session::usable() const
{
    return m_open.load() && !m_lost.load();
}

int32_t Session::uid() const
{
    return usable() ? m_uid.load() : 0;
}

DeviceInfo Session::info() const
{
    std::lock_guard lock(m_mutex);
    return m_info;
}

std::shared_ptr<const DeviceAccess> Session::device() const
{
    std::lock_guard lock(m_mutex);
    return m_device;
}

void Session::establishLocked(const DeviceInfo& info)
{
    m_events.reset();
    m_info = info;
    m_uid = info.uid;
    m_lost = false;
    m_open = true;
    const std::uint64_t generation = ++m_generation;
    m_dispatcher.post([](IAppListener& listener)
                      { listener.OnDevStatus(0, SessionStatusConnected); });
    m_events = m_device->followEvents([this, channels = info.channels](const DeviceEvent& event)
                                      { m_reporter.report(event, channels); },
                                      [this, generation](const std::string& description)
                                      { lost(generation, description); });
}

void Session::lost(std::uint64_t generation, const std::string& description)
{
    if (generation != m_generation.load() || m_lost.exchange(true))
    {
        return;
    }
    m_dispatcher.post([](IAppListener& listener) { listener.OnDevStatus(0, SessionStatusLost); });
    m_dispatcher.postError(SessionLost, "lost the session with the device: " + description);
    if (m_onLost)
    {
        m_onLost();
    }
}

} // namespace velkor
