#pragma once

#include "device/LingeringCloser.h"
#include "device/RequestLimits.h"

#include <httplib.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace velkordevice
{

// What cpp-httplib gives as settings does not keep these limits: it queues connections beyond
// its pool instead of refusing them, times out each read but not a request that drips, and takes
// chunked bodies, bodies of GET requests of any length and malformed header lines. So each
// connection is ours: we override the server's private process_and_close_socket, call its
// protected process_request, and widen the backlog of its protected svr_sock_ (which also ends
// live replies when it closes). None of that is its public interface, so it is pinned here: on
// another version, check those members again before raising this.
static_assert(std::string_view(CPPHTTPLIB_VERSION) == "0.11.4",
              "GuardedHttpServer relies on members of cpp-httplib 0.11.4 outside its interface");

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
