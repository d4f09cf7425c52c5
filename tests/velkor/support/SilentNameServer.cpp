#include "tests/velkor/support/SilentNameServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace velkortest
{

SilentNameServer::SilentNameServer()
{
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_socket >= 0 &&
        ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        ::close(m_socket);
        m_socket = -1;
    }
    if (m_socket >= 0)
    {
        m_thread = std::thread([this] { receive(); });
    }
}

SilentNameServer::~SilentNameServer()
{
    m_stopping = true;
    if (m_thread.joinable())
    {
        m_thread.join();
    }
    if (m_socket >= 0)
    {
        ::close(m_socket);
    }
}

bool SilentNameServer::waitForMoreThan(int count) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_queries.load() <= count && std::chrono::steady_clock::now() < deadline)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return m_queries.load() > count;
}

void SilentNameServer::receive()
{
    while (!m_stopping.load())
    {
        pollfd waiting{m_socket, POLLIN, 0};
        if (::poll(&waiting, 1, 50) > 0)
        {
            char datagram[512];
            if (::recv(m_socket, datagram, sizeof datagram, 0) > 0)
            {
                ++m_queries;
            }
        }
    }
}

} // namespace velkortest
