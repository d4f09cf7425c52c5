#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HttpHead
{
    int status = 0;
    // Names lower-cased.
    std::multimap<std::string, std::string> headers;

    std::string header(const std::string& name) const;
    std::vector<std::string> all(const std::string& name) const;
};

struct HttpReply
{
    HttpHead head;
    std::string body;
};

// A deliberately plain blocking HTTP/1.1 client over loopback: the tests need to control exactly
// when bytes are read.
class HttpConnection
{
public:
    HttpConnection() = default;
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // receiveBuffer > 0 shrinks SO_RCVBUF before connecting.
    bool open(int port, int receiveBuffer = 0);
    void close();
    void setTimeout(std::chrono::milliseconds timeout);
    // The loopback port of this end, 0 when not connected.
    int localPort() const;
    bool sendGet(const std::string& target, const std::vector<std::string>& extraHeaders = {});
    bool sendRaw(std::string_view bytes);
    // Whether a byte (or the end) can be read within `timeout`.
    bool readable(std::chrono::milliseconds timeout);
    // True once the peer has closed and everything before was read.
    bool atEnd();

    std::optional<HttpHead> readHead();
    // Up to and without the "\n" (and a "\r" before it).
    std::optional<std::string> readLine();
    std::optional<std::string> readExact(std::size_t size);
    // A head and its body by Content-Length.
    std::optional<HttpReply> readReply();

    // One request on its own connection, body read by Content-Length.
    static std::optional<HttpReply> get(int port, const std::string& target,
                                        const std::vector<std::string>& extraHeaders = {});

private:
    bool fill();

    int m_fd = -1;
    std::string m_buffer;
};
