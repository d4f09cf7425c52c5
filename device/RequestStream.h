#pragma once

#include <httplib.h>

#include <chrono>
#include <string>
#include <string_view>

namespace velkordevice
{

// What cpp-httplib reads and writes while it serves one request: the request as already read in
// whole, and the connection's socket for the reply, which must take some of each write within
// the write timeout.
class RequestStream : public httplib::Stream
{
public:
    RequestStream(int socket, std::string_view request, std::chrono::milliseconds writeTimeout);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, std::size_t size) override;
    ssize_t write(const char* ptr, std::size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override;

    // False when the reply ends with the connection: it has neither a length nor chunks.
    bool replyKeepsConnection() const;

private:
    bool waitWritable() const;

    int m_socket;
    std::string_view m_request;
    std::chrono::milliseconds m_writeTimeout;
    // The reply's status line and headers as far as written, to tell how its body ends.
    std::string m_replyHead;
    bool m_replyHeadDone = false;
};

} // namespace velkordevice
