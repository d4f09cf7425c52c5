#pragma once

#include "velkor/native/DeviceInfo.h"
#include "velkor/session/DeviceAccess.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

namespace velkor
{

class DeviceEventReporter;
class EventDispatcher;
class EventFollower;

// The session with one device: opened by asking the device who it is, then following the events
// it raises by itself until it is ended or lost. Raises OnDevStatus(0, ...) for it and SessionLost
// when the device's events end by themselves.
class Session
{
public:
    using LostHook = std::function<void()>;

    Session(EventDispatcher& dispatcher, DeviceEventReporter& reporter);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Called, on the events' thread, once the session is lost.
    void onLost(LostHook hook);

    // Ends any session, asks the first of `kinds` who it is, and the next where no device of
    // the one before answered, and opens a session with the one that answered. The UID, or the
    // code of the refusal, which is also reported. `kinds` holds at least one.
    int32_t open(std::vector<std::unique_ptr<DeviceAccess>> kinds, const std::stop_token& stop);
    // Opens the session again with the device it was lost with, which answered as `info`.
    void reopen(const DeviceInfo& info);
    // Ends the session without a word; true when one was usable.
    bool end();

    // Open and not lost.
    bool usable() const;
    // The open session's UID; 0 without a usable session.
    int32_t uid() const;
    DeviceInfo info() const;
    // The device of the last session opened, lost or not; null before the first.
    std::shared_ptr<const DeviceAccess> device() const;

private:
    void establishLocked(const DeviceInfo& info);
    void lost(std::uint64_t generation, const std::string& description);

    EventDispatcher& m_dispatcher;
    DeviceEventReporter& m_reporter;
    LostHook m_onLost;

    mutable std::mutex m_mutex;
    std::shared_ptr<const DeviceAccess> m_device;
    DeviceInfo m_info;
    std::unique_ptr<EventFollower> m_events;

    std::atomic<bool> m_open{false};
    std::atomic<bool> m_lost{false};
    std::atomic<int32_t> m_uid{0};
    std::atomic<std::uint64_t> m_generation{0};
};

} // namespace velkor
