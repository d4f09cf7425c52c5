#pragma once

#include "tests/support/ProcessRunner.h"

#include <atomic>
#include <string>
#include <thread>

namespace velkortest
{

// ffmpeg as an HTTP camera on loopback: a multipart JPEG stream of its moving test picture
// (testsrc2, 25 fps) at /video.mjpg. ffmpeg serves one connection and ends, so a thread starts it
// again each time, as long as the object lives. On a free port, or a given one.
class HttpCamera
{
public:
    explicit HttpCamera(int port = 0, const std::string& size = "800x600");
    ~HttpCamera();
    HttpCamera(const HttpCamera&) = delete;
    HttpCamera& operator=(const HttpCamera&) = delete;

    // Listening, within 20 s of the start.
    bool ready() const { return m_ready; }
    int port() const { return m_port; }
    std::string url() const;
    // Ends the camera at once, the connection it serves included.
    void kill();

private:
    void run(const std::string& size);
    bool listening() const;

    int m_port = 0;
    bool m_ready = false;
    std::atomic<bool> m_stopping{false};
    // Used by the loop's thread only.
    ProcessRunner m_process;
    std::thread m_loop;
};

} // namespace velkortest
