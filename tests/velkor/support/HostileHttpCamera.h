#pragma once

#include "tests/velkor/support/LoopbackServer.h"

#include <atomic>
#include <string>

namespace velkortest
{

// A multipart JPEG camera on loopback that answers Open's GET (libcurl's) as a camera would and
// libavformat's (its User-Agent says Lavf) as a hostile camera does: a redirect to `location`, or
// one part that announces 800 MB and sends them (for 60 s at most).
class HostileHttpCamera
{
public:
    enum class Mode
    {
        Redirect,
        HugePart,
        // Open's GET answered with a header line of 100 KiB.
        HugeHeader
    };

    explicit HostileHttpCamera(Mode mode, std::string location = {});

    std::string url() const;
    int conversations() const { return m_conversations.load(); }
    long long partBytes() const { return m_partBytes.load(); }

private:
    void serve(const std::string& head, LoopbackConnection& connection);

    const Mode m_mode;
    const std::string m_location;
    std::atomic<int> m_conversations{0};
    std::atomic<long long> m_partBytes{0};
    LoopbackServer m_server;
};

} // namespace velkortest
