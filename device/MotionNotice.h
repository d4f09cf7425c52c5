#pragma once

#include <chrono>

namespace velkordevice
{

// That motion on a channel started or stopped, or what it is when a subscriber asks.
struct MotionNotice
{
    int channel = 0;
    bool motion = false;
    // On the device's ONVIF clock.
    std::chrono::system_clock::time_point time;
    // The state as it is (ONVIF's "Initialized"), not a change.
    bool initial = false;
};

} // namespace velkordevice
