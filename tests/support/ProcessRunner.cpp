#include "tests/support/ProcessRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace velkortest
{

ProcessRunner::~ProcessRunner()
{
    kill(SIGKILL);
}

bool ProcessRunner::start(const std::vector<std::string>& arguments, bool withErrors)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
    {
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments)
    {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    const int pid = ::fork();
    if (pid == 0)
    {
        // Also when the test crashes: a child left holding the test's standard error keeps ctest
        // waiting for the end of that output until the test's timeout, and the crash is
        // reported as a hang.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
        {
            ::_exit(127);
        }
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        if (withErrors)
        {
            ::dup2(pipeEnds[1], STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    if (pid < 0)
    {
        ::close(pipeEnds[0]);
        return false;
    }
    m_pid = pid;
    m_output = pipeEnds[0];
    return true;
}

std::optional<std::string> ProcessRunner::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true)
    {
        const auto newline = m_pending.find('\n');
        if (newline != std::string::npos)
        {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (m_output < 0 || left.count() <= 0)
        {
            return std::nullopt;
        }
        pollfd waiting{m_output, POLLIN, 0};
        if (::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
        {
            continue;
        }
        char buffer[256];
        const ssize_t got = ::read(m_output, buffer, sizeof buffer);
        if (got <= 0)
        {
            return std::nullopt;
        }
        m_pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::optional<int> ProcessRunner::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_pid > 0)
    {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid)
        {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
        {
            return std::nullopt;
        }
        ::usleep(10000);
    }
    return std::nullopt;
}

void ProcessRunner::signal(int signal) const
{
    if (m_pid > 0)
    {
        ::kill(m_pid, signal);
    }
}

void ProcessRunner::kill(int signal)
{
    if (m_pid > 0)
    {
        ::kill(m_pid, signal);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (m_output >= 0)
    {
        ::close(m_output);
        m_output = -1;
    }
}

} // namespace velkortest
