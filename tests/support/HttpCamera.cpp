#include "tests/support/HttpCamera.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>

namespace velkortest
{
namespace
{

int freeLoopbackPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    {
        port = ntohs(address.sin_port);
    }
    ::close(probe);
    return port;
}

} // namespace

HttpCamera::HttpCamera(int port, const std::string& size)
    : m_port(port > 0 ? port : freeLoopbackPort())
{
    m_loop = std::thread([this, size] { run(size); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!listening() && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_ready = listening();
}

HttpCamera::~HttpCamera()
{
    kill();
}

std::string HttpCamera::url() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + "/video.mjpg";
}

void HttpCamera::kill()
{
    m_stopping = true;
    if (m_loop.joinable())
    {
        m_loop.join();
    }
}

void HttpCamera::run(const std::string& size)
{
    const std::vector<std::string> arguments{
        "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "quiet",
        "-re",    "-f",       "lavfi",        "-i",        "testsrc2=size=" + size + ":rate=25",
        "-c:v",   "mjpeg",    "-f",           "mpjpeg",    "-listen",
        "1",      url()};
    while (!m_stopping && m_process.start(arguments))
    {
        while (!m_process.waitForExit(std::chrono::milliseconds(20)))
        {
            if (m_stopping)
            {
                m_process.kill(SIGKILL);
                return;
            }
        }
        // Closes the output pipe of the one that ended.
        m_process.kill(SIGKILL);
    }
}

bool HttpCamera::listening() const
{
    // Read from the kernel's table: a test connection would use up ffmpeg's only one.
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X 00000000:0000 0A", m_port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line))
    {
        if (line.find(wanted) != std::string::npos)
        {
            return true;
        }
    }
    return false;
}

} // namespace velkortest
