#pragma once

#include "tests/velkor/support/LoopbackServer.h"

#include <atomic>
#include <string>

namespace velkortest
{

// An RTSP camera on loopback that answers Open's DESCRIBE (libcurl's, the first request of its
// connection) as a camera would, and then treats libavformat's conversation (which opens with
// OPTIONS) as a hostile camera does: it redirects, offers many video tracks, or plays one H.264
// picture that never ends. With a password set, every request without credentials gets a 401
// asking for Basic.
class HostileRtspCamera
{
public:
    enum class Mode
    {
        // libavformat's DESCRIBE answered 302 to `location`, or with none, to the camera itself.
        Redirect,
        // The same, and Open's DESCRIBE too.
        RedirectAtOpen,
        // A description of `tracks` video tracks; PLAY then sends nothing.
        ManyTracks,
        // After PLAY, one H.264 IDR picture's fragments, for as long as it is read (60 s at most).
        EndlessPicture
    };

    HostileRtspCamera(Mode mode, std::string location = {}, int tracks = 1,
                      bool asksForPassword = false);

    std::string url() const;
    int port() const { return m_server.port(); }
    // libavformat's connections (those that open with OPTIONS), its SETUPs and the bytes of the
    // endless picture sent so far.
    int conversations() const { return m_conversations.load(); }
    int setups() const { return m_setups.load(); }
    long long pictureBytes() const { return m_pictureBytes.load(); }

private:
    void serve(std::string head, LoopbackConnection& connection);
    bool answer(const std::string& head, bool fromLibavformat, LoopbackConnection& connection);
    std::string description() const;
    void sendEndlessPicture(LoopbackConnection& connection);

    const Mode m_mode;
    const std::string m_location;
    const int m_tracks;
    const bool m_asksForPassword;
    std::atomic<int> m_conversations{0};
    std::atomic<int> m_setups{0};
    std::atomic<long long> m_pictureBytes{0};
    LoopbackServer m_server;
};

} // namespace velkortest
