#include "device/ReplyWriter.h"

#include <boost/asio/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace velkordevice
{

namespace http = boost::beast::http;

namespace
{

template <class Body> void fillHead(http::response<Body>& message, const HttpReply& reply)
{
    message.result(static_cast<unsigned>(reply.status));
    message.set(http::field::content_type, reply.contentType);
    for (const auto& [name, value] : reply.headers)
    {
        message.insert(name, value);
    }
}

} // namespace

ReplyWriter::ReplyWriter(int socket, std::chrono::milliseconds writeTimeout)
    : m_socket(socket), m_writeTimeout(writeTimeout)
{
}

bool ReplyWriter::send(const HttpReply& reply, bool headOnly, bool closing)
{
    boost::beast::error_code error;
    if (reply.stream)
    {
        // Its body ends with the connection: it has no length.
        http::response<http::empty_body> message;
        fillHead(message, reply);
        message.keep_alive(false);
        http::response_serializer<http::empty_body> serializer(message);
        http::write_header(*this, serializer, error);
        return !error;
    }
    http::response<http::string_body> message;
    fillHead(message, reply);
    message.body() = reply.body;
    message.prepare_payload();
    message.keep_alive(!closing);
    if (headOnly)
    {
        http::response_serializer<http::string_body> serializer(message);
        http::write_header(*this, serializer, error);
    }
    else
    {
        http::write(*this, message, error);
    }
    return !error;
}

bool ReplyWriter::write(const char* data, std::size_t size)
{
    boost::beast::error_code error;
    while (size > 0)
    {
        iovec piece{const_cast<char*>(data), size};
        const std::size_t sent = sendSome(&piece, 1, error);
        if (error)
        {
            return false;
        }
        data += sent;
        size -= sent;
    }
    return true;
}

std::size_t ReplyWriter::sendSome(const iovec* pieces, std::size_t count,
                                  boost::beast::error_code& error)
{
    error = {};
    if (count == 0)
    {
        return 0;
    }
    msghdr message{};
    message.msg_iov = const_cast<iovec*>(pieces);
    message.msg_iovlen = count;
    while (true)
    {
        const ssize_t sent = sendmsg(m_socket, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
        {
            return static_cast<std::size_t>(sent);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
        {
            error = boost::asio::error::broken_pipe;
            return 0;
        }
        if (errno != EINTR && !waitWritable())
        {
            error = boost::asio::error::timed_out;
            return 0;
        }
    }
}

bool ReplyWriter::waitWritable() const
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
