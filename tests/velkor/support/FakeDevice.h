#pragma once

#include "LoopbackServer.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace velkortest
{

// A device speaking the velkor protocol from inside the test, without authentication, whose
// answers a test can replace to play a broken or hostile device.
class FakeDevice
{
public:
    struct Options
    {
        std::string info = "device=velkor-device\nuid=4242\nchannels=2\nformats=jpeg\nversion=1\n";
        // Replaces the whole answer to /velkor/live (status line included) when set.
        std::function<void(LoopbackConnection&)> live;
    };

    FakeDevice();
    explicit FakeDevice(Options options);

    int port() const { return m_server->port(); }
    // Queues one event-stream event (kind and data) for every event stream client.
    void pushEvent(const std::string& kind, const std::string& data);
    // Every open connection breaks, as when the device disappears.
    void dropConnections() { m_server->dropConnections(); }
    void stop() { m_server->stop(); }

    static std::string multipartHead(const std::string& boundary);
    static std::string part(const std::string& boundary, const std::string& jpeg);

private:
    void handle(const std::string& path, LoopbackConnection& connection);
    void serveEvents(LoopbackConnection& connection);
    void serveLive(const std::string& path, LoopbackConnection& connection);

    Options m_options;
    std::mutex m_mutex;
    std::deque<std::string> m_pending;
    std::unique_ptr<LoopbackServer> m_server;
};

} // namespace velkortest
