#pragma once

#include "device/PullPoint.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velkordevice
{

// The pull-point subscriptions a device keeps, each under an id of its own, until they end or
// their termination time passes; at most `capacity` at a time.
class PullPointRegistry
{
public:
    using TimePoint = std::chrono::system_clock::time_point;

    PullPointRegistry(EventBus& bus, std::chrono::seconds clockOffset, std::size_t capacity = 16);

    // The new subscription's id and the subscription, or nullopt when the device keeps as many
    // as it can. `now` and `termination` on the device's clock.
    std::optional<std::pair<std::string, std::shared_ptr<PullPoint>>> create(TimePoint termination,
                                                                             TimePoint now);
    // nullptr when unknown, ended or expired.
    std::shared_ptr<PullPoint> find(const std::string& id, TimePoint now);
    bool remove(const std::string& id);

private:
    void expire(TimePoint now);

    EventBus& m_bus;
    std::chrono::seconds m_clockOffset;
    std::size_t m_capacity;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<PullPoint>> m_subscriptions;
    unsigned long long m_nextId = 1;
};

} // namespace velkordevice
