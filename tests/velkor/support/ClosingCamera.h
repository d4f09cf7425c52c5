#pragma once

#include "tests/velkor/support/LoopbackServer.h"

#include <atomic>
#include <string>

namespace velkortest
{

// An RTSP camera on loopback that answers Open's DESCRIBE with a JPEG video track, and closes each
// of the stream's connections (libavformat's, which begin with OPTIONS) at once, so that play is
// lost and asked for again and again. Counts both.
class ClosingCamera
{
public:
    ClosingCamera();

    // Its URL with `host` naming 127.0.0.1.
    std::string url(const std::string& host = "127.0.0.1") const;
    int questions() const { return m_questions.load(); }
    int streams() const { return m_streams.load(); }
    // Whether the stream has connected, within 10 s.
    bool waitForStream() const;

private:
    void serve(const std::string& head, LoopbackConnection& connection);

    std::atomic<int> m_questions{0};
    std::atomic<int> m_streams{0};
    LoopbackServer m_server;
};

} // namespace velkortest
