#include "tests/velkor/support/XvfbDisplay.h"

#include <csignal>
#include <cstdlib>

namespace velkortest
{

XvfbDisplay::XvfbDisplay()
{
    if (!m_server.start(
            {"Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}))
    {
        return;
    }
    if (const auto number = m_server.readLine(std::chrono::seconds(20)); number && !number->empty())
    {
        m_name = ":" + *number;
        ::setenv("DISPLAY", m_name.c_str(), 1);
    }
}

XvfbDisplay::~XvfbDisplay()
{
    // A stopped server would hold its termination until it is continued.
    resume();
    m_server.kill(SIGTERM);
}

void XvfbDisplay::pause() const
{
    m_server.signal(SIGSTOP);
}

void XvfbDisplay::resume() const
{
    m_server.signal(SIGCONT);
}

} // namespace velkortest
