#pragma once

#include "devicelib/IAppCallBack.h"
#include "devicelib/IAppListener.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace velkortest
{

struct RecordedEvent
{
    std::string kind;
    int32_t a = 0;
    int32_t b = 0;
    int32_t c = 0;
    std::string text;
    std::chrono::steady_clock::time_point at{};
};

// Matches an OnError of `code` whose text contains `text`.
std::function<bool(const RecordedEvent&)> errorWith(int32_t code, std::string text = {});

// Keeps every event it receives, for a test to wait for and inspect.
class RecordingListener : public IAppListener
{
public:
    void OnError(int32_t errorCode, const char* description) override;
    void OnDevStatus(int32_t channel, int32_t status) override;
    void OnRecStatus(int32_t channel, int32_t status) override;
    void OnAlmStatus(int32_t channel, int32_t type, const char* timeDate, int32_t status) override;
    void OnPlayStatus(int32_t channel, int32_t status) override;
    void OnImage(int32_t type, int32_t packedSize, int32_t size) override;

    // True once an event matching `match` has arrived; false after `timeout` without one.
    bool waitFor(const std::function<bool(const RecordedEvent&)>& match,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool waitFor(const std::string& kind, int32_t a, int32_t b,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True once `count` events of `kind` have arrived.
    bool waitForCount(const std::string& kind, std::size_t count,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<RecordedEvent> events() const;
    std::size_t count(const std::string& kind) const;
    // Each OnError so far as "\n  code text", for a failure's message.
    std::string errorTexts() const;
    void reset();

protected:
    void record(RecordedEvent event);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<RecordedEvent> m_events;
};

class RecordingCallBack : public IAppCallBack
{
public:
    void OnPlayStatusCB(int32_t status) override;
    std::vector<int32_t> statuses() const;

private:
    mutable std::mutex m_mutex;
    std::vector<int32_t> m_statuses;
};

} // namespace velkortest
