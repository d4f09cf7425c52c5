#pragma once

#include <chrono>
#include <stop_token>

namespace velkor
{

// A pause that a stop cuts short.
class Pause
{
public:
    // Sleeps for `duration` unless a stop is requested first; true when one was.
    static bool stopped(const std::stop_token& stop, std::chrono::steady_clock::duration duration);
};

} // namespace velkor
