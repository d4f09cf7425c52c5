#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkortest
{

// A connection accepted by LoopbackServer, handed to the test's handler with the request head.
class LoopbackConnection
{
public:
    explicit LoopbackConnection(int socket) : m_socket(socket) {}
    // False once the peer is gone or the server is stopping.
    bool send(std::string_view bytes);
    bool stopping() const;
    // The next request's head (up to the empty line), or empty when none came within `patience`
    // or the peer left.
    std::string receiveHead(std::chrono::milliseconds patience);
    // The body of the request whose head (as the handler got it, which may hold the body's
    // start) announced it by Content-Length; shorter when the peer leaves or sends nothing for a
    // second.
    std::string receiveBody(const std::string& head);
    // Returns once the server stops, as a peer that never answers.
    void waitUntilStopping() const;
    // The next request head on the connection (a conversation such as RTSP's); empty once the
    // peer is gone or the server is stopping.
    std::string nextHead();
    void setStopFlag(const std::atomic<bool>* flag) { m_stop = flag; }

private:
    int m_socket;
    const std::atomic<bool>* m_stop = nullptr;
};

// A TCP server on 127.0.0.1 with a free port, each connection served on its own thread by a
// handler that reads the request path and writes whatever bytes the test wants, well-formed or
// not. stop() closes everything; the destructor stops.
class LoopbackServer
{
public:
    using Handler = std::function<void(const std::string& path, const std::string& head,
                                       LoopbackConnection& connection)>;

    explicit LoopbackServer(Handler handler);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    // Connections accepted so far, whether or not a request came on them.
    int accepted() const { return m_accepted.load(); }
    void stop();
    // Closes the sockets of every connection so far, as a device that disappears would.
    void dropConnections();

private:
    void acceptLoop();
    void serve(int socket);

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_accepted{0};
    std::mutex m_mutex;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

} // namespace velkortest
