#include "tests/support/RtspCamera.h"

#include <charconv>
#include <csignal>

namespace velkortest
{
namespace
{

// Python and GStreamer take a while to start on a busy machine.
constexpr auto kPatience = std::chrono::seconds(30);
constexpr std::string_view kBannerStart = "rtsp-camera listening on rtsp://127.0.0.1:";

int portInBanner(const std::string& banner)
{
    if (banner.rfind(kBannerStart, 0) != 0)
    {
        return 0;
    }
    int port = 0;
    const char* end = banner.data() + banner.size();
    auto [ptr, ec] = std::from_chars(banner.data() + kBannerStart.size(), end, port);
    return ec == std::errc() && ptr == end ? port : 0;
}

} // namespace

RtspCamera::RtspCamera(const std::vector<std::string>& options, int port)
{
    std::vector<std::string> arguments{QUILLON_GI_PYTHON, RTSP_CAMERA_SCRIPT, "--port",
                                       std::to_string(port)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    if (!m_process.start(arguments, true))
    {
        return;
    }
    m_banner = m_process.readLine(kPatience).value_or("");
    m_port = portInBanner(m_banner);
}

std::string RtspCamera::url(const std::string& mount) const
{
    return "rtsp://127.0.0.1:" + std::to_string(m_port) + mount;
}

void RtspCamera::kill()
{
    m_process.kill(SIGKILL);
}

} // namespace velkortest
