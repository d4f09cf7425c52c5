#pragma once

#include "tests/velkor/support/LoopbackServer.h"

#include <atomic>
#include <string>

namespace velkortest
{

// An RTSP camera on loopback that answers Open's DESCRIBE, then accepts libavformat's
// connections and says nothing to them.
class SilentRtspCamera
{
public:
    SilentRtspCamera();

    std::string url() const;
    // Whether `count` connections other than Open's have come, within 10 s.
    bool waitForConnections(int count) const;

private:
    void serve(const std::string& head, LoopbackConnection& connection);

    std::atomic<int> m_silent{0};
    LoopbackServer m_server;
};

} // namespace velkortest
