#include "device/PullPointRegistry.h"

namespace velkordevice
{

PullPointRegistry::PullPointRegistry(EventBus& bus, std::chrono::seconds clockOffset,
                                     std::size_t capacity)
    : m_bus(bus), m_clockOffset(clockOffset), m_capacity(capacity)
{
}

std::optional<std::pair<std::string, std::shared_ptr<PullPoint>>>
PullPointRegistry::create(TimePoint termination, TimePoint now)
{
    std::lock_guard lock(m_mutex);
    expire(now);
    if (m_subscriptions.size() >= m_capacity)
    {
        return std::nullopt;
    }
    const std::string id = std::to_string(m_nextId++);
    auto subscription = std::make_shared<PullPoint>(m_bus, m_clockOffset, termination);
    m_subscriptions.emplace(id, subscription);
    return std::make_pair(id, subscription);
}

std::shared_ptr<PullPoint> PullPointRegistry::find(const std::string& id, TimePoint now)
{
    std::lock_guard lock(m_mutex);
    expire(now);
    const auto found = m_subscriptions.find(id);
    return found == m_subscriptions.end() ? nullptr : found->second;
}

bool PullPointRegistry::remove(const std::string& id)
{
    std::lock_guard lock(m_mutex);
    return m_subscriptions.erase(id) != 0;
}

void PullPointRegistry::expire(TimePoint now)
{
    std::erase_if(m_subscriptions,
                  [now](const auto& entry) { return entry.second->termination() <= now; });
}

} // namespace velkordevice
