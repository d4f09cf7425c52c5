#pragma once

#include "tests/support/ProcessRunner.h"

#include <string>
#include <vector>

namespace velkortest
{

// GStreamer's RTSP server as a camera on loopback (tests/support/rtsp_camera.py): mounts /h264,
// /h265, /jpeg and /audio (no video), on a free port or a given one (to start it again where a
// client expects it). Killed when the object goes.
class RtspCamera
{
public:
    explicit RtspCamera(const std::vector<std::string>& options = {}, int port = 0);

    bool ready() const { return m_port > 0; }
    int port() const { return m_port; }
    // Its first line of output, to say why it is not ready.
    const std::string& banner() const { return m_banner; }
    std::string url(const std::string& mount) const;
    // Kills it at once, as a camera that loses power.
    void kill();
    int pid() const { return m_process.pid(); }

private:
    ProcessRunner m_process;
    int m_port = 0;
    std::string m_banner;
};

} // namespace velkortest
