#include "tests/velkor/support/RecordingListener.h"

#include <algorithm>
#include <utility>

namespace velkortest
{

std::function<bool(const RecordedEvent&)> errorWith(int32_t code, std::string text)
{
    return [code, text = std::move(text)](const RecordedEvent& event) {
        return event.kind == "error" && event.a == code &&
               event.text.find(text) != std::string::npos;
    };
}

void RecordingListener::OnError(int32_t errorCode, const char* description)
{
    record({"error", errorCode, 0, 0, description != nullptr ? description : "(null)"});
}

void RecordingListener::OnDevStatus(int32_t channel, int32_t status)
{
    record({"dev", channel, status, 0, {}});
}

void RecordingListener::OnRecStatus(int32_t channel, int32_t status)
{
    record({"rec", channel, status, 0, {}});
}

void RecordingListener::OnAlmStatus(int32_t channel, int32_t type, const char* timeDate,
                                    int32_t status)
{
    record({"alarm", channel, status, type, timeDate != nullptr ? timeDate : "(null)"});
}

void RecordingListener::OnPlayStatus(int32_t channel, int32_t status)
{
    record({"play", channel, status, 0, {}});
}

void RecordingListener::OnImage(int32_t type, int32_t packedSize, int32_t size)
{
    record({"image", type, packedSize, size, {}});
}

void RecordingListener::record(RecordedEvent event)
{
    event.at = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_changed.notify_all();
}

bool RecordingListener::waitFor(const std::function<bool(const RecordedEvent&)>& match,
                                std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [&] { return std::any_of(m_events.begin(), m_events.end(), match); });
}

bool RecordingListener::waitFor(const std::string& kind, int32_t a, int32_t b,
                                std::chrono::milliseconds timeout)
{
    return waitFor([&](const RecordedEvent& event)
                   { return event.kind == kind && event.a == a && event.b == b; },
                   timeout);
}

bool RecordingListener::waitForCount(const std::string& kind, std::size_t count,
                                     std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(
        lock, timeout,
        [&]
        {
            return static_cast<std::size_t>(std::count_if(m_events.begin(), m_events.end(),
                                                          [&](const RecordedEvent& event)
                                                          { return event.kind == kind; })) >= count;
        });
}

std::vector<RecordedEvent> RecordingListener::events() const
{
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::string RecordingListener::errorTexts() const
{
    std::string texts;
    for (const RecordedEvent& event : events())
    {
        if (event.kind == "error")
        {
            texts += "\n  " + std::to_string(event.a) + " " + event.text;
        }
    }
    return texts;
}

std::size_t RecordingListener::count(const std::string& kind) const
{
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count_if(m_events.begin(), m_events.end(),
                                                  [&](const RecordedEvent& event)
                                                  { return event.kind == kind; }));
}

void RecordingListener::reset()
{
    std::lock_guard lock(m_mutex);
    m_events.clear();
}

void RecordingCallBack::OnPlayStatusCB(int32_t status)
{
    std::lock_guard lock(m_mutex);
    m_statuses.push_back(status);
}

std::vector<int32_t> RecordingCallBack::statuses() const
{
    std::lock_guard lock(m_mutex);
    return m_statuses;
}

} // namespace velkortest
