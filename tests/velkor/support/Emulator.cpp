#include "Emulator.h"

#include <csignal>

namespace velkortest
{

Emulator::Emulator(const std::string& program, std::vector<std::string> options, int port)
{
    std::vector<std::string> arguments{program, "--port", std::to_string(port)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!m_process.start(arguments))
    {
        return;
    }
    const auto line = m_process.readLine(std::chrono::seconds(20));
    const std::string marker = "velkor-device listening on http://";
    if (!line || line->rfind(marker, 0) != 0)
    {
        return;
    }
    const auto colon = line->rfind(':');
    m_port = std::stoi(line->substr(colon + 1));
}

void Emulator::kill()
{
    m_process.kill(SIGKILL);
    m_port = 0;
}

} // namespace velkortest
