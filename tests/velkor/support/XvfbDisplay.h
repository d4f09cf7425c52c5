#pragma once

#include "tests/support/ProcessRunner.h"

#include <string>

namespace velkortest
{

// A private Xvfb server on a display number it picks itself; DISPLAY points at it while it lives.
class XvfbDisplay
{
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool ready() const { return !m_name.empty(); }
    const std::string& name() const { return m_name; }
    int pid() const { return m_server.pid(); }
    // Stops and continues the server, as a machine under a debugger or swapping hard would.
    void pause() const;
    void resume() const;

private:
    ProcessRunner m_server;
    std::string m_name;
};

} // namespace velkortest
