#include "device/GuardedHttpServer.h"

#include "device/ConnectionLimiter.h"
#include "device/RequestReader.h"
#include "device/RequestStream.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

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

} // namespace

GuardedHttpServer::GuardedHttpServer(const RequestLimits& limits, std::size_t maxConnections)
    : m_limits(limits), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    new_task_queue = [maxConnections] { return new ConnectionLimiter(maxConnections); };
    set_payload_max_length(limits.body);
    set_keep_alive_max_count(limits.requestsPerConnection);
    set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits.idle).count());
}

GuardedHttpServer::~GuardedHttpServer()
{
    ::close(m_wakeFd);
}

void GuardedHttpServer::widenBacklog()
{
    ::listen(svr_sock_, SOMAXCONN);
}

void GuardedHttpServer::shutdown()
{
    // Left readable for good: every reader polls it.
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    stop();
}

std::string GuardedHttpServer::closingReply(int status, const std::string& text,
                                            const std::string& extraHeaders)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(text.size()) + "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + text;
}

bool GuardedHttpServer::process_and_close_socket(socket_t sock)
{
    if (ConnectionLimiter::rejectingThisThread())
    {
        // At once, not after the request: a flood of idle connections must not delay it.
        refuse(sock, closingReply(503, "too many connections\n", "Retry-After: 1\r\n"));
        return true;
    }
    serve(sock);
    return true;
}

void GuardedHttpServer::serve(int socket)
{
    RequestReader reader(socket, m_limits, m_wakeFd);
    for (std::size_t served = 1; served <= m_limits.requestsPerConnection; ++served)
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
        RequestStream stream(socket, reader.request(), m_limits.write);
        bool closedByRequest = false;
        const bool replied = process_request(stream, served == m_limits.requestsPerConnection,
                                             closedByRequest, [](httplib::Request&) {});
        reader.consume();
        if (!replied || closedByRequest || !stream.replyKeepsConnection())
        {
            break;
        }
    }
    m_closer.close(socket);
}

void GuardedHttpServer::refuse(int socket, const std::string& reply)
{
    // Small enough for any socket buffer, so it is sent whole or the peer is gone.
    [[maybe_unused]] const ssize_t sent =
        send(socket, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    m_closer.close(socket);
}

} // namespace velkordevice
