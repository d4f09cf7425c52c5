#include "device/RequestStream.h"

#include "device/AsciiText.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velkordevice
{

namespace
{

constexpr std::size_t kLargestReplyHead = 16384;

void addressOf(const sockaddr_storage& address, std::string& ip, int& port)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
    {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    }
    else if (address.ss_family == AF_INET6)
    {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

} // namespace

RequestStream::RequestStream(int socket, std::string_view request,
                             std::chrono::milliseconds writeTimeout)
    : m_socket(socket), m_request(request), m_writeTimeout(writeTimeout)
{
}

bool RequestStream::is_readable() const
{
    return !m_request.empty();
}

bool RequestStream::is_writable() const
{
    return waitWritable();
}

ssize_t RequestStream::read(char* ptr, std::size_t size)
{
    const std::size_t count = std::min(size, m_request.size());
    std::memcpy(ptr, m_request.data(), count);
    m_request.remove_prefix(count);
    return static_cast<ssize_t>(count);
}

ssize_t RequestStream::write(const char* ptr, std::size_t size)
{
    if (!m_replyHeadDone)
    {
        m_replyHead.append(ptr, std::min(size, kLargestReplyHead - m_replyHead.size()));
        m_replyHeadDone = m_replyHead.find("\r\n\r\n") != std::string::npos ||
                          m_replyHead.size() >= kLargestReplyHead;
    }
    std::size_t sent = 0;
    while (sent < size)
    {
        if (!waitWritable())
        {
            return -1;
        }
        const ssize_t n = send(m_socket, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        {
            continue;
        }
        if (n <= 0)
        {
            return -1;
        }
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getpeername(m_socket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    {
        addressOf(address, ip, port);
    }
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    {
        addressOf(address, ip, port);
    }
}

socket_t RequestStream::socket() const
{
    return m_socket;
}

bool RequestStream::replyKeepsConnection() const
{
    const std::size_t end = m_replyHead.find("\r\n\r\n");
    if (end == std::string::npos)
    {
        return false;
    }
    const std::string head = AsciiText::lower(std::string_view(m_replyHead).substr(0, end + 2));
    return head.find("\r\ncontent-length:") != std::string::npos ||
           head.find("\r\ntransfer-encoding:") != std::string::npos;
}

bool RequestStream::waitWritable() const
{
    pollfd wait{m_socket, POLLOUT, 0};
    while (true)
    {
        const int ready = poll(&wait, 1, static_cast<int>(m_writeTimeout.count()));
        if (ready < 0 && errno == EINTR)
        {
            continue;
        }
        return ready > 0 && (wait.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
    }
}

} // namespace velkordevice
