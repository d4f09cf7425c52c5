#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace velkortest
{

// A child process whose standard output the test reads line by line; killed and reaped when the
// runner goes, and killed when the thread that started it ends (the test's process too), so no
// test leaves a process behind, not even one that crashes.
class ProcessRunner
{
public:
    ProcessRunner() = default;
    ~ProcessRunner();
    ProcessRunner(const ProcessRunner&) = delete;
    ProcessRunner& operator=(const ProcessRunner&) = delete;

    // withErrors: standard error goes to the same pipe as standard output.
    bool start(const std::vector<std::string>& arguments, bool withErrors = false);
    // The next line of output, or nothing when none came within `timeout` or output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Sends `signal` and reaps the process.
    void kill(int signal);
    // Sends `signal` only (also to stop or continue it); waitForExit() tells how it ended.
    void signal(int signal) const;
    // The exit code once the process ended by itself within `timeout`; -signal when a signal
    // ended it; nothing when it is still running.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running() const { return m_pid > 0; }
    int pid() const { return m_pid; }

private:
    int m_pid = -1;
    int m_output = -1;
    std::string m_pending;
};

} // namespace velkortest
