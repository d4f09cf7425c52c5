#include "tests/velkor/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace velkortest
{

bool LoopbackConnection::send(std::string_view bytes)
{
    while (!bytes.empty())
    {
        if (stopping())
        {
            return false;
        }
        const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0)
        {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

std::string LoopbackConnection::receiveHead(std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && !stopping())
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{m_socket, POLLIN, 0};
        if (left.count() <= 0 ||
            ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left.count(), 50))) < 0)
        {
            return {};
        }
        if ((waiting.revents & (POLLIN | POLLHUP)) == 0)
        {
            continue;
        }
        char byte = 0;
        // A byte at a time, so that nothing after the head is taken from the next request.
        if (::recv(m_socket, &byte, 1, 0) != 1)
        {
            return {};
        }
        head += byte;
    }
    return head;
}

std::string LoopbackConnection::receiveBody(const std::string& head)
{
    const std::size_t length = head.find("Content-Length: ");
    const std::size_t end = head.find("\r\n\r\n");
    if (length == std::string::npos || end == std::string::npos)
    {
        return {};
    }
    const std::size_t count = std::stoul(head.substr(length + 16));
    std::string bytes = head.substr(end + 4, count);
    char buffer[1024];
    while (bytes.size() < count && !stopping())
    {
        pollfd waiting{m_socket, POLLIN, 0};
        if (::poll(&waiting, 1, 1000) <= 0)
        {
            break;
        }
        const ssize_t got =
            ::recv(m_socket, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
        if (got <= 0)
        {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

bool LoopbackConnection::stopping() const
{
    return m_stop != nullptr && m_stop->load();
}

void LoopbackConnection::waitUntilStopping() const
{
    if (m_stop != nullptr)
    {
        m_stop->wait(false);
    }
}

std::string LoopbackConnection::nextHead()
{
    std::string head;
    char byte = 0;
    // A byte at a time, so that nothing after the head is taken from the one who reads on.
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 && !stopping())
    {
        pollfd waiting{m_socket, POLLIN, 0};
        if (::poll(&waiting, 1, 50) == 0)
        {
            continue;
        }
        if (::recv(m_socket, &byte, 1, 0) != 1)
        {
            return {};
        }
        head += byte;
    }
    return stopping() ? std::string() : head;
}

LoopbackServer::LoopbackServer(Handler handler) : m_handler(std::move(handler))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0)
    {
        throw std::system_error(errno, std::generic_category(), "loopback listener");
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::stop()
{
    if (m_stop.exchange(true))
    {
        return;
    }
    m_stop.notify_all();
    m_acceptor.join();
    ::close(m_listener);
    dropConnections();
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        threads.swap(m_threads);
    }
    for (auto& thread : threads)
    {
        thread.join();
    }
}

void LoopbackServer::dropConnections()
{
    std::lock_guard lock(m_mutex);
    for (int socket : m_sockets)
    {
        ::shutdown(socket, SHUT_RDWR);
    }
}

void LoopbackServer::acceptLoop()
{
    while (!m_stop.load())
    {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
        {
            continue;
        }
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
        {
            continue;
        }
        ++m_accepted;
        std::lock_guard lock(m_mutex);
        m_sockets.push_back(socket);
        m_threads.emplace_back([this, socket] { serve(socket); });
    }
}

void LoopbackServer::serve(int socket)
{
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384 && !m_stop.load())
    {
        const ssize_t got = ::recv(socket, buffer, sizeof buffer, 0);
        if (got <= 0)
        {
            break;
        }
        head.append(buffer, static_cast<std::size_t>(got));
    }
    const auto firstSpace = head.find(' ');
    const auto secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace != std::string::npos && secondSpace != std::string::npos)
    {
        LoopbackConnection connection(socket);
        connection.setStopFlag(&m_stop);
        m_handler(head.substr(firstSpace + 1, secondSpace - firstSpace - 1), head, connection);
    }
    ::shutdown(socket, SHUT_RDWR);
    std::lock_guard lock(m_mutex);
    m_sockets.erase(std::remove(m_sockets.begin(), m_sockets.end(), socket), m_sockets.end());
    ::close(socket);
}

} // namespace velkortest
