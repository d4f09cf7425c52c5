#include "DeviceProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>

namespace
{

pid_t spawn(const std::vector<std::string>& args, int& readEnd, bool mergeStderr)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
    {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    if (mergeStderr)
    {
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    }
    std::vector<std::string> argv = {VELKOR_DEVICE_EXECUTABLE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    raw.reserve(argv.size() + 1);
    for (auto& arg : argv)
    {
        raw.push_back(arg.data());
    }
    raw.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ) != 0)
    {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    readEnd = fds[0];
    return pid;
}

int waitForExit(pid_t pid)
{
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace

DeviceProcess::DeviceProcess(const std::vector<std::string>& args)
{
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--port", "0"});
    m_pid = spawn(all, m_stdout, false);
    if (m_pid < 0)
    {
        return;
    }
    // The banner is the first line; a generous bound only guards against a hung child.
    for (int waited = 0; waited < 100 && m_banner.find('\n') == std::string::npos; ++waited)
    {
        pollfd pfd{m_stdout, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0)
        {
            continue;
        }
        char buffer[256];
        const ssize_t n = read(m_stdout, buffer, sizeof buffer);
        if (n <= 0)
        {
            break;
        }
        m_banner.append(buffer, static_cast<std::size_t>(n));
    }
    std::smatch match;
    if (std::regex_search(m_banner, match,
                          std::regex(R"(^velkor-device listening on http://127\.0\.0\.1:(\d+)\n)")))
    {
        m_port = std::stoi(match[1]);
    }
}

DeviceProcess::~DeviceProcess()
{
    if (m_pid > 0)
    {
        kill(m_pid, SIGKILL);
        waitForExit(m_pid);
    }
    if (m_stdout >= 0)
    {
        close(m_stdout);
    }
}

long DeviceProcess::residentKiB() const
{
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
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

int DeviceProcess::stop()
{
    if (m_pid <= 0)
    {
        return -1;
    }
    kill(m_pid, SIGTERM);
    const int code = waitForExit(m_pid);
    m_pid = -1;
    return code;
}

DeviceProcess::Outcome DeviceProcess::runToCompletion(const std::vector<std::string>& args)
{
    Outcome outcome;
    int readEnd = -1;
    const pid_t pid = spawn(args, readEnd, true);
    if (pid < 0)
    {
        return outcome;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(readEnd, buffer, sizeof buffer)) > 0)
    {
        outcome.output.append(buffer, static_cast<std::size_t>(n));
    }
    close(readEnd);
    outcome.exitCode = waitForExit(pid);
    return outcome;
}
