#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The velkor-device program run as a child on a port of its own choosing.
class DeviceProcess
{
public:
    struct Outcome
    {
        int exitCode = -1;
        std::string output; // stdout and stderr together
    };

    // `--port 0` is added; started() tells whether the listening line arrived.
    explicit DeviceProcess(const std::vector<std::string>& args);
    ~DeviceProcess();
    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    bool started() const { return m_port > 0; }
    int port() const { return m_port; }
    const std::string& banner() const { return m_banner; }
    // VmRSS of the child in KiB, -1 if unreadable.
    long residentKiB() const;
    // SIGTERM, then waits; the exit code, or -1 if it did not exit normally.
    int stop();

    // Runs the program to completion with exactly `args`.
    static Outcome runToCompletion(const std::vector<std::string>& args);

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_port = 0;
    std::string m_banner;
};
