#pragma once

#include "ProcessRunner.h"

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

private:
    ProcessRunner m_server;
    std::string m_name;
};

} // namespace velkortest
