#pragma once

#include "device/LingeringCloser.h"
#include "device/RequestLimits.h"

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <string>

namespace velkordevice
{

// cpp-httplib's server with connections of our own making: at most `maxConnections` served at
// once and any other refused at once with 503; each request read whole within the limits before
// cpp-httplib parses and routes it, pipelined requests answered in order.
class GuardedHttpServer : public httplib::Server
{
public:
    GuardedHttpServer(const RequestLimits& limits, std::size_t maxConnections);
    ~GuardedHttpServer() override;
    GuardedHttpServer(const GuardedHttpServer&) = delete;
    GuardedHttpServer& operator=(const GuardedHttpServer&) = delete;

    // After binding: cpp-httplib listens with a backlog of 5, so a burst of connects (more than
    // the limit, say) loses SYNs and those clients wait a second for the retransmission.
    void widenBacklog();
    // Ends serving: connections waiting for a request end at once, not after their timeouts.
    void shutdown();

    // A whole reply of ours, plain text, that announces the end of the connection.
    static std::string closingReply(int status, const std::string& text,
                                    const std::string& extraHeaders = {});

private:
    bool process_and_close_socket(socket_t sock) override;
    void serve(int socket);
    void refuse(int socket, const std::string& reply);

    RequestLimits m_limits;
    LingeringCloser m_closer;
    int m_wakeFd;
};

} // namespace velkordevice
