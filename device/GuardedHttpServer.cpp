#include "device/GuardedHttpServer.h"

#include "device/ReplyWriter.h"
#include "device/RequestReader.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>

namespace velkordevice
{

namespace
{

const char* reasonPhrase(int status)
{
    switch (status)
    {
    case 400:
        return "Bad Request";
    case 408:
        return "Request Timeout";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

int boundPort(int socket)
{
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    {
        return -1;
    }
    return address.ss_family == AF_INET6
               ? ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port)
               : ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

} // namespace

GuardedHttpServer::GuardedHttpServer(const RequestLimits& limits, std::size_t maxConnections,
                                     Handler handler)
    : m_limits(limits), m_handler(std::move(handler)),
      m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_limiter(maxConnections)
{
}

GuardedHttpServer::~GuardedHttpServer()
{
    shutdown();
    m_limiter.shutdown();
    if (m_listenFd >= 0)
    {
        ::close(m_listenFd);
    }
    ::close(m_wakeFd);
}

int GuardedHttpServer::bind(const std::string& address, int port,
                            const std::function<void(int)>& setUp)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
    {
        return -1;
    }
    for (const addrinfo* candidate = found; candidate != nullptr && m_listenFd < 0;
         candidate = candidate->ai_next)
    {
        const int socket = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC, 0);
        if (socket < 0)
        {
            continue;
        }
        setUp(socket);
        // A wide backlog: a burst of connects (more than the limit, say) must not lose SYNs and
        // leave those clients waiting a second for the retransmission.
        if (::bind(socket, candidate->ai_addr, candidate->ai_addrlen) == 0 &&
            ::listen(socket, SOMAXCONN) == 0)
        {
            m_listenFd = socket;
        }
        else
        {
            ::close(socket);
        }
    }
    freeaddrinfo(found);
    return m_listenFd < 0 ? -1 : boundPort(m_listenFd);
}

bool GuardedHttpServer::run()
{
    pollfd waits[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    bool ok = m_listenFd >= 0;
    while (ok && !m_stopping)
    {
        const int ready = poll(waits, 2, -1);
        if (ready < 0)
        {
            ok = errno == EINTR;
        }
        else if ((waits[0].revents & (POLLERR | POLLNVAL)) != 0)
        {
            ok = false;
        }
        else if ((waits[0].revents & POLLIN) != 0)
        {
            accept();
        }
    }
    // Connections still queued are served (they end at once) and closed.
    m_limiter.shutdown();
    return ok;
}

void GuardedHttpServer::accept()
{
    const int socket = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0)
    {
        if (errno == EMFILE || errno == ENFILE)
        {
            // Out of descriptors: the listener stays readable, so do not spin on it.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return;
    }
    // Without it a reply written in two pieces waits for the client's delayed ACK.
    const int one = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_limiter.enqueue(
        [this, socket]
        {
            if (ConnectionLimiter::rejectingThisThread())
            {
                // At once, not after the request: a flood of idle connections must not delay
                // it.
                refuse(socket, closingReply(503, "too many connections\n", "Retry-After: 1\r\n"));
                return;
            }
            serve(socket);
        });
}

void GuardedHttpServer::shutdown()
{
    m_stopping = true;
    // Left readable for good: the accept loop and every reader poll it.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

std::string GuardedHttpServer::closingReply(int status, const std::string& text,
                                            const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + text;
}

void GuardedHttpServer::serve(int socket)
{
    RequestReader reader(socket, m_limits, m_wakeFd);
    for (std::size_t served = 1; true; ++served)
    {
        switch (reader.next())
        {
        case RequestReader::Outcome::Idle:
        case RequestReader::Outcome::Closed:
            ::shutdown(socket, SHUT_RDWR);
            ::close(socket);
            return;
        case RequestReader::Outcome::Refused:
            refuse(socket, closingReply(reader.refusalStatus(), reader.refusalText()));
            return;
        case RequestReader::Outcome::Request:
            break;
        }
        auto request = HttpRequest::parse(reader.request(), m_limits.body);
        if (!request)
        {
            refuse(socket, closingReply(400, "malformed request\n"));
            return;
        }
        request->setConnection(socket);
        if (!answer(socket, *request, served == m_limits.requestsPerConnection))
        {
            break;
        }
        reader.consume();
    }
    m_closer.close(socket);
}

bool GuardedHttpServer::answer(int socket, const HttpRequest& request, bool last)
{
    const HttpReply reply = m_handler(request);
    const bool closing = last || !request.keepAlive() || reply.stream || m_stopping;
    ReplyWriter writer(socket, m_limits.write);
    if (!writer.send(reply, request.isHead(), closing))
    {
        return false;
    }
    if (reply.stream && !request.isHead())
    {
        while (!m_stopping && reply.stream(writer))
        {
        }
    }
    return !closing;
}

void GuardedHttpServer::refuse(int socket, const std::string& reply)
{
    // Small enough for any socket buffer, so it is sent whole or the peer is gone.
    [[maybe_unused]] const ssize_t sent =
        send(socket, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    m_closer.close(socket);
}

} // namespace velkordevice
