#pragma once

namespace velkor
{

// Follows the events one device raises by itself, on a thread of its own, until destroyed;
// each kind of device follows them its own way.
class EventFollower
{
public:
    virtual ~EventFollower() = default;
    EventFollower(const EventFollower&) = delete;
    EventFollower& operator=(const EventFollower&) = delete;

protected:
    EventFollower() = default;
};

} // namespace velkor
