#pragma once

#include "tests/velkor/support/XvfbDisplay.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velkortest
{

// Stops an X server for as long as it lives, and continues it after `longest` at the latest, so
// that code which hangs on the stopped server fails, or is measured, rather than hanging too.
class ServerPause
{
public:
    ServerPause(const XvfbDisplay& display, std::chrono::seconds longest);
    ~ServerPause();
    ServerPause(const ServerPause&) = delete;
    ServerPause& operator=(const ServerPause&) = delete;

    // Whether the server is still stopped: false once `longest` has passed.
    bool holding() const;

private:
    const XvfbDisplay& m_display;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_over = false;
    bool m_lifted = false;
    std::thread m_watchdog;
};

} // namespace velkortest
