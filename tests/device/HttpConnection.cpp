#include "tests/device/HttpConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

std::string HttpHead::header(const std::string& name) const
{
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

std::vector<std::string> HttpHead::all(const std::string& name) const
{
    std::vector<std::string> out;
    auto [first, last] = headers.equal_range(name);
    for (auto it = first; it != last; ++it)
    {
        out.push_back(it->second);
    }
    return out;
}

HttpConnection::~HttpConnection()
{
    close();
}

bool HttpConnection::open(int port, int receiveBuffer)
{
    close();
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
    {
        return false;
    }
    if (receiveBuffer > 0)
    {
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    setTimeout(std::chrono::seconds(10));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        close();
        return false;
    }
    return true;
}

void HttpConnection::close()
{
    if (m_fd >= 0)
    {
        ::close(m_fd);
    }
    m_fd = -1;
    m_buffer.clear();
}

void HttpConnection::setTimeout(std::chrono::milliseconds timeout)
{
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
    setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

int HttpConnection::localPort() const
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (m_fd < 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    {
        return 0;
    }
    return ntohs(address.sin_port);
}

bool HttpConnection::sendGet(const std::string& target,
                             const std::vector<std::string>& extraHeaders)
{
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    for (const auto& header : extraHeaders)
    {
        request += header + "\r\n";
    }
    request += "\r\n";
    return sendRaw(request);
}

bool HttpConnection::sendRaw(std::string_view bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size())
    {
        const ssize_t n = send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
        {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool HttpConnection::readable(std::chrono::milliseconds timeout)
{
    pollfd wait{m_fd, POLLIN, 0};
    return !m_buffer.empty() || poll(&wait, 1, static_cast<int>(timeout.count())) > 0;
}

bool HttpConnection::atEnd()
{
    return m_buffer.empty() && !fill();
}

bool HttpConnection::fill()
{
    char chunk[16384];
    const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
    if (n <= 0)
    {
        return false;
    }
    m_buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> HttpConnection::readLine()
{
    std::size_t end = 0;
    while ((end = m_buffer.find('\n')) == std::string::npos)
    {
        if (!fill())
        {
            return std::nullopt;
        }
    }
    std::string line = m_buffer.substr(0, end);
    m_buffer.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
    {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> HttpConnection::readExact(std::size_t size)
{
    while (m_buffer.size() < size)
    {
        if (!fill())
        {
            return std::nullopt;
        }
    }
    std::string out = m_buffer.substr(0, size);
    m_buffer.erase(0, size);
    return out;
}

std::optional<HttpHead> HttpConnection::readHead()
{
    auto statusLine = readLine();
    if (!statusLine || statusLine->rfind("HTTP/1.1 ", 0) != 0 || statusLine->size() < 12)
    {
        return std::nullopt;
    }
    HttpHead head;
    head.status = std::stoi(statusLine->substr(9, 3));
    while (true)
    {
        auto line = readLine();
        if (!line)
        {
            return std::nullopt;
        }
        if (line->empty())
        {
            return head;
        }
        const auto colon = line->find(':');
        if (colon == std::string::npos)
        {
            return std::nullopt;
        }
        std::string name = line->substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const auto valueStart = line->find_first_not_of(' ', colon + 1);
        head.headers.emplace(name, valueStart == std::string::npos ? "" : line->substr(valueStart));
    }
}

std::optional<HttpReply> HttpConnection::readReply()
{
    auto head = readHead();
    if (!head)
    {
        return std::nullopt;
    }
    const std::string length = head->header("content-length");
    auto body = readExact(length.empty() ? 0 : std::stoul(length));
    if (!body)
    {
        return std::nullopt;
    }
    return HttpReply{std::move(*head), std::move(*body)};
}

std::optional<HttpReply> HttpConnection::get(int port, const std::string& target,
                                             const std::vector<std::string>& extraHeaders)
{
    HttpConnection connection;
    if (!connection.open(port) || !connection.sendGet(target, extraHeaders))
    {
        return std::nullopt;
    }
    return connection.readReply();
}
