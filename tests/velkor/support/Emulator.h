#pragma once

#include "ProcessRunner.h"

#include <string>
#include <vector>

namespace velkortest
{

// The velkor-device emulator as a child process on a free port (or a given one, to restart it
// where the library expects it).
class Emulator
{
public:
    Emulator(const std::string& program, std::vector<std::string> options, int port = 0);

    bool ready() const { return m_port > 0; }
    int port() const { return m_port; }
    // Kills the emulator at once, as a device that loses power.
    void kill();

private:
    ProcessRunner m_process;
    int m_port = 0;
};

} // namespace velkortest
