#pragma once

#include "device/ConnectionLimiter.h"
#include "device/HttpReply.h"
#include "device/HttpRequest.h"
#include "device/LingeringCloser.h"
#include "device/RequestLimits.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace velkordevice
{

// An HTTP/1.1 server whose connections are all ours: at most `maxConnections` served at once
// and any other refused at once with 503; each request read whole within the limits before
// Beast parses it and the handler answers, pipelined requests answered in order.
class GuardedHttpServer
{
public:
    using Handler = std::function<HttpReply(const HttpRequest&)>;

    GuardedHttpServer(const RequestLimits& limits, std::size_t maxConnections, Handler handler);
    ~GuardedHttpServer();
    GuardedHttpServer(const GuardedHttpServer&) = delete;
    GuardedHttpServer& operator=(const GuardedHttpServer&) = delete;

    // Listens on `address` and `port` (0: any free one); the port, or -1. `setUp` gets the
    // listening socket before it binds; accepted sockets inherit what it sets.
    int bind(const std::string& address, int port, const std::function<void(int)>& setUp);
    // Serves until shutdown(); false if the listening socket failed.
    bool run();
    // Ends serving, before or during run(): connections waiting for a request end at once, not
    // after their timeouts, and streamed replies at their next piece.
    void shutdown();

    // A whole reply of ours, plain text, that announces the end of the connection.
    static std::string closingReply(int status, const std::string& text,
                                    const std::string& extraHeaders = {});

private:
    void accept();
    void serve(int socket);
    // Whether the connection stays open for another request.
    bool answer(int socket, const HttpRequest& request, bool last);
    void refuse(int socket, const std::string& reply);

    RequestLimits m_limits;
    Handler m_handler;
    int m_wakeFd;
    int m_listenFd = -1;
    std::atomic<bool> m_stopping{false};
    LingeringCloser m_closer;
    // Last, so that its workers end before what they use.
    ConnectionLimiter m_limiter;
};

} // namespace velkordevice
