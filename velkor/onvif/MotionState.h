#pragma once

#include "velkor/onvif/MotionMessage.h"

#include <cstdint>
#include <optional>
#include <set>
#include <utility>

namespace velkor
{

// Whether each channel of a camera sees motion, from the messages of its motion topics. A channel
// sees motion while any topic says so, so a camera that raises one motion under both topics
// raises one alarm; a channel not heard of yet sees none.
class MotionState
{
public:
    // The channel's status (1 motion, 0 none) when `motion` under `topic` changes it.
    std::optional<int32_t> update(int32_t channel, MotionMessage::Topic topic, bool motion);

private:
    bool sees(int32_t channel) const;

    std::set<std::pair<int32_t, MotionMessage::Topic>> m_moving;
};

} // namespace velkor
