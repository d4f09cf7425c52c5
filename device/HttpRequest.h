#pragma once

#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velkordevice
{

// One request as Beast's parser reads it, with the path and query parameters decoded.
class HttpRequest
{
public:
    // nullopt when the bytes are not one well-formed request, or its body is over `bodyLimit`.
    static std::optional<HttpRequest> parse(std::string_view bytes, std::size_t bodyLimit);

    std::string_view method() const;
    bool isHead() const;
    // As written in the request line, query included.
    std::string_view target() const;
    const std::string& path() const { return m_path; }
    // Empty when absent.
    std::string header(std::string_view name) const;
    bool keepAlive() const;
    std::string_view body() const;

    bool hasParam(const std::string& name) const;
    // The first value, empty when absent.
    std::string param(const std::string& name) const;
    // A parameter named more than once, if any.
    std::optional<std::string> repeatedParam() const;

    // The connection the request came on, so that a handler that waits can tell when nobody is
    // left to answer.
    void setConnection(int socket) { m_connection = socket; }
    // Whether the client has closed its end (or the connection broke); false without one.
    bool clientHasLeft() const;

private:
    explicit HttpRequest(boost::beast::http::request<boost::beast::http::string_body> message);

    boost::beast::http::request<boost::beast::http::string_body> m_message;
    std::string m_path;
    std::multimap<std::string, std::string> m_params;
    int m_connection = -1;
};

} // namespace velkordevice
