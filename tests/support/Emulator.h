#pragma once

#include "tests/support/ProcessRunner.h"

#include <string>
#include <vector>

namespace velkortest
{

// The velkor-device emulator of this build as a child process, on a free loopback port or a given
// one (to restart it where a client expects it). Killed when the object goes.
class Emulator
{
public:
    struct Outcome
    {
        int exitCode = -1;
        std::string output; // standard output and error together
    };

    explicit Emulator(const std::vector<std::string>& options = {}, int port = 0);

    bool ready() const { return m_port > 0; }
    int port() const { return m_port; }
    // Its first line of output, to say why it is not ready.
    const std::string& banner() const { return m_banner; }
    // Its resident memory (VmRSS) in KiB, -1 when unknown.
    long residentKiB() const;
    // Asks it to end (SIGTERM): its exit code, or -1 when it did not end normally within 10 s.
    int stop();
    // Kills it at once, as a device that loses power.
    void kill();

    // Runs the emulator with exactly `options` to its end.
    static Outcome run(const std::vector<std::string>& options);

private:
    ProcessRunner m_process;
    int m_port = 0;
    std::string m_banner;
};

} // namespace velkortest
