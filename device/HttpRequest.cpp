#include "device/HttpRequest.h"

#include "device/AsciiText.h"

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <poll.h>

#include <cstdint>
#include <utility>

namespace velkordevice
{

namespace http = boost::beast::http;

namespace
{

// %XX escapes as bytes (a malformed one stays as written); in a query, '+' stands for a space.
std::string decode(std::string_view text, bool query)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const auto value = text[i] == '%' && i + 2 < text.size()
                               ? AsciiText::parseHex(text.substr(i + 1, 2))
                               : std::nullopt;
        if (value)
        {
            decoded += static_cast<char>(*value);
            i += 2;
        }
        else
        {
            decoded += query && text[i] == '+' ? ' ' : text[i];
        }
    }
    return decoded;
}

} // namespace

std::optional<HttpRequest> HttpRequest::parse(std::string_view bytes, std::size_t bodyLimit)
{
    http::request_parser<http::string_body> parser;
    parser.eager(true);
    parser.header_limit(static_cast<std::uint32_t>(bytes.size()));
    parser.body_limit(bodyLimit);
    boost::beast::error_code error;
    while (!parser.is_done() && !bytes.empty())
    {
        const std::size_t used = parser.put(boost::asio::buffer(bytes.data(), bytes.size()), error);
        if (error)
        {
            return std::nullopt;
        }
        bytes.remove_prefix(used);
    }
    if (!parser.is_done())
    {
        return std::nullopt;
    }
    return HttpRequest(parser.release());
}

HttpRequest::HttpRequest(http::request<http::string_body> message) : m_message(std::move(message))
{
    std::string_view target = this->target();
    const std::size_t question = target.find('?');
    m_path = decode(target.substr(0, question), false);
    std::string_view query =
        target.substr(question == std::string_view::npos ? target.size() : question + 1);
    while (!query.empty())
    {
        const std::string_view pair = query.substr(0, query.find('&'));
        query.remove_prefix(std::min(query.size(), pair.size() + 1));
        const std::size_t equals = pair.find('=');
        const std::string name = decode(pair.substr(0, equals), true);
        if (!name.empty())
        {
            m_params.emplace(name, equals == std::string_view::npos
                                       ? std::string()
                                       : decode(pair.substr(equals + 1), true));
        }
    }
}

std::string_view HttpRequest::method() const
{
    const auto text = m_message.method_string();
    return {text.data(), text.size()};
}

bool HttpRequest::isHead() const
{
    return m_message.method() == http::verb::head;
}

std::string_view HttpRequest::target() const
{
    const auto text = m_message.target();
    return {text.data(), text.size()};
}

std::string HttpRequest::header(std::string_view name) const
{
    const auto found = m_message.find(boost::beast::string_view(name.data(), name.size()));
    return found == m_message.end() ? std::string()
                                    : std::string(found->value().data(), found->value().size());
}

bool HttpRequest::keepAlive() const
{
    return m_message.keep_alive();
}

std::string_view HttpRequest::body() const
{
    return m_message.body();
}

bool HttpRequest::hasParam(const std::string& name) const
{
    return m_params.count(name) != 0;
}

std::string HttpRequest::param(const std::string& name) const
{
    const auto found = m_params.find(name);
    return found == m_params.end() ? std::string() : found->second;
}

std::optional<std::string> HttpRequest::repeatedParam() const
{
    for (auto it = m_params.begin(); it != m_params.end(); it = m_params.upper_bound(it->first))
    {
        if (m_params.count(it->first) > 1)
        {
            return it->first;
        }
    }
    return std::nullopt;
}

bool HttpRequest::clientHasLeft() const
{
    if (m_connection < 0)
    {
        return false;
    }
    // Hang-ups and errors are reported whatever is asked; POLLRDHUP adds the client's close.
    pollfd connection{m_connection, POLLRDHUP, 0};
    return poll(&connection, 1, 0) > 0 &&
           (connection.revents & (POLLHUP | POLLERR | POLLRDHUP)) != 0;
}

} // namespace velkordevice
