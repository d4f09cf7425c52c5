#include "device/PullPoint.h"

#include "device/AlarmSchedule.h"
#include "device/AsciiText.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

namespace
{

// A pull whose client hangs up ends within this, so that its connection is not held for a long
// timeout with nobody to answer.
constexpr std::chrono::milliseconds kGlanceAtPuller(200);
// At most this many notices wait for a subscriber who does not pull.
constexpr std::size_t kMaxPending = 256;

struct Event
{
    std::string kind;
    std::map<std::string, std::string> data;
};

// "event: <kind>\ndata: <key=value ...>\n\n" as EventBus formats it.
Event parse(std::string_view text)
{
    Event event;
    const auto line = [&text](std::string_view prefix)
    {
        const std::size_t at = text.find(prefix);
        if (at == std::string_view::npos)
        {
            return std::string_view();
        }
        const std::size_t start = at + prefix.size();
        return text.substr(start, text.find('\n', start) - start);
    };
    event.kind = line("event: ");
    std::string_view data = line("data: ");
    while (!data.empty())
    {
        const std::string_view pair = data.substr(0, data.find(' '));
        data.remove_prefix(std::min(data.size(), pair.size() + 1));
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos)
        {
            event.data.emplace(pair.substr(0, equals), pair.substr(equals + 1));
        }
    }
    return event;
}

// Motion starts with a channel's motion alarm and stops when its recording does, as the next
// alarm moves on.
std::optional<MotionNotice> motionOf(const Event& event)
{
    const auto field = [&event](const char* key)
    {
        const auto found = event.data.find(key);
        return found == event.data.end() ? std::string() : found->second;
    };
    const bool raised = event.kind == "alarm" && field("status") == "1" &&
                        field("type") == std::to_string(AlarmSchedule::kMotionAlarm);
    const bool stopped = event.kind == "record" && field("status") == "0";
    if (!raised && !stopped)
    {
        return std::nullopt;
    }
    const auto channel = AsciiText::parseDecimal(field("channel"));
    if (!channel)
    {
        return std::nullopt;
    }
    return MotionNotice{static_cast<int>(*channel), raised, {}, false};
}

} // namespace

PullPoint::PullPoint(EventBus& bus, std::chrono::seconds clockOffset, TimePoint termination)
    : m_bus(bus), m_clockOffset(clockOffset), m_seen(bus.latestSequence()),
      m_termination(termination)
{
}

PullPoint::TimePoint PullPoint::termination() const
{
    std::lock_guard lock(m_mutex);
    return m_termination;
}

void PullPoint::setTermination(TimePoint termination)
{
    std::lock_guard lock(m_mutex);
    m_termination = termination;
}

void PullPoint::synchronize(int channels, int alarmed, TimePoint now)
{
    std::lock_guard lock(m_mutex);
    for (int channel = 1; channel <= channels; ++channel)
    {
        m_pending.push_back({channel, channel == alarmed, now, true});
    }
}

std::vector<MotionNotice> PullPoint::pull(std::chrono::milliseconds timeout, std::size_t limit,
                                          const std::function<bool()>& abandoned)
{
    std::lock_guard turn(m_pulling);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::chrono::milliseconds wait(0);
    while (true)
    {
        // Wakes at the next event, which may not be a motion change, at the deadline, or after
        // a glance long enough to see whether the puller is still there.
        translate(m_bus.entriesAfter(m_seen, std::min(wait, kGlanceAtPuller)));
        auto notices = take(limit);
        wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (!notices.empty() || wait.count() <= 0 || m_bus.isShutDown() || abandoned())
        {
            return notices;
        }
    }
}

void PullPoint::translate(const std::vector<EventBus::Entry>& entries)
{
    std::lock_guard lock(m_mutex);
    for (const auto& entry : entries)
    {
        if (auto notice = motionOf(parse(entry.text)))
        {
            notice->time = entry.published + m_clockOffset;
            m_pending.push_back(*notice);
        }
    }
    while (m_pending.size() > kMaxPending)
    {
        m_pending.pop_front();
    }
}

std::vector<MotionNotice> PullPoint::take(std::size_t limit)
{
    std::lock_guard lock(m_mutex);
    std::vector<MotionNotice> out;
    while (!m_pending.empty() && out.size() < limit)
    {
        out.push_back(m_pending.front());
        m_pending.pop_front();
    }
    return out;
}

} // namespace velkordevice
