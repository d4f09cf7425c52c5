#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velkortest
{

// A child process whose standard output the test reads line by line; killed and reaped when the
// runner goes, so no test leaves a process behind.
class ProcessRunner
{
public:
    ProcessRunner() = default;
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    bool start(const std::vector<std::string>& arguments);
    // The next line of standard output, or nothing when none came within `timeout`.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void kill(int signal);
    // The exit code once the process ended by itself within `timeout`; -signal when a signal
    // ended it; nothing when it is still running.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running() const { return m_pid > 0; }

private:
    int m_pid = -1;
    int m_output = -1;
    std::string m_pending;
};

} // namespace velkortest
