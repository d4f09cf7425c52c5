#include "tests/support/Emulator.h"

#include <charconv>
#include <csignal>
#include <fstream>

namespace velkortest
{

namespace
{

constexpr auto kPatience = std::chrono::seconds(20);
constexpr std::string_view kBannerStart = "velkor-device listening on http://";

int portInBanner(const std::string& banner)
{
    const auto colon = banner.rfind(':');
    if (banner.rfind(kBannerStart, 0) != 0 || colon == std::string::npos)
    {
        return 0;
    }
    int port = 0;
    const char* end = banner.data() + banner.size();
    auto [ptr, ec] = std::from_chars(banner.data() + colon + 1, end, port);
    return ec == std::errc() && ptr == end ? port : 0;
}

} // namespace

Emulator::Emulator(const std::vector<std::string>& options, int port)
{
    std::vector<std::string> arguments{VELKOR_DEVICE_PATH, "--port", std::to_string(port)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!m_process.start(arguments))
    {
        return;
    }
    m_banner = m_process.readLine(kPatience).value_or("");
    m_port = portInBanner(m_banner);
}

long Emulator::residentKiB() const
{
    std::ifstream status("/proc/" + std::to_string(m_process.pid()) + "/status");
    std::string line;
    while (std::getline(status, line))
    {
        if (line.rfind("VmRSS:", 0) == 0)
        {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

int Emulator::stop()
{
    m_process.signal(SIGTERM);
    const auto code = m_process.waitForExit(std::chrono::seconds(10));
    m_process.kill(SIGKILL);
    m_port = 0;
    return code && *code >= 0 ? *code : -1;
}

void Emulator::kill()
{
    m_process.kill(SIGKILL);
    m_port = 0;
}

Emulator::Outcome Emulator::run(const std::vector<std::string>& options)
{
    Outcome outcome;
    ProcessRunner process;
    std::vector<std::string> arguments{VELKOR_DEVICE_PATH};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!process.start(arguments, true))
    {
        return outcome;
    }
    while (const auto line = process.readLine(kPatience))
    {
        outcome.output += *line + "\n";
    }
    outcome.exitCode = process.waitForExit(kPatience).value_or(-1);
    return outcome;
}

} // namespace velkortest
