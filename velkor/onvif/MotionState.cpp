#include "velkor/onvif/MotionState.h"

namespace velkor
{

std::optional<int32_t> MotionState::update(int32_t channel, MotionMessage::Topic topic, bool motion)
{
    const bool before = sees(channel);
    if (motion)
    {
        m_moving.emplace(channel, topic);
    }
    else
    {
        m_moving.erase({channel, topic});
    }
    const bool after = sees(channel);
    if (before == after)
    {
        return std::nullopt;
    }
    return after ? 1 : 0;
}

bool MotionState::sees(int32_t channel) const
{
    const auto next = m_moving.lower_bound({channel, MotionMessage::Topic::MotionAlarm});
    return next != m_moving.end() && next->first == channel;
}

} // namespace velkor
