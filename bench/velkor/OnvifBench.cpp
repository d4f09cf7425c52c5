// Time from Start Live to the first picture for an ONVIF camera, against typing its RTSP URL.
// Runs its own Xvfb, GStreamer RTSP server and the emulator as the ONVIF camera (users on, so
// every question carries WS-Security), whose GetStreamUri names that server's /h264.
//
//   velkor_onvif_bench [ROUNDS=20]
//       Each round, as the console's Start Live calls the library: Open, then PlayLive, until
//       OnImage reports the first picture; then PlayControl and Close. Rounds alternate between
//       the camera's address (ONVIF: GetSystemDateAndTime, GetDeviceInformation, GetCapabilities,
//       GetProfiles, GetStreamUri, after the velkor question that finds no velkor device) and
//       its stream's rtsp:// URL. Prints median and worst of each, and the load average.
#include "bench/support/ProcessClock.h"
#include "devicelib/DeviceLibrary.h"
#include "tests/support/Emulator.h"
#include "tests/support/RtspCamera.h"
#include "tests/velkor/support/RecordingListener.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/api/VelkorLibrary.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

// The emulator's profile of H.264 at 320, its tenth (JPEG at 7 widths and MPEG-4 at 2 first).
constexpr int32_t kH264Channel = 10;

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

// Milliseconds from Open to the first OnImage; negative when it did not play.
double startLive(DeviceLibrary& api, velkortest::RecordingListener& listener,
                 const std::string& address, int32_t channel)
{
    listener.reset();
    api.SetIPAddr(address.c_str());
    const auto start = Clock::now();
    if (api.Open() <= 0 || api.PlayLive(channel, nullptr, 0, nullptr) != velkor::Ok ||
        !listener.waitFor("image", 0, 640 * 65536 + 480))
    {
        for (const velkortest::RecordedEvent& event : listener.events())
        {
            std::fprintf(stderr, "  %s %d %d %s\n", event.kind.c_str(), event.a, event.b,
                         event.text.c_str());
        }
        return -1;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    api.PlayControl(1, 1, nullptr, 0, nullptr);
    api.Close();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 20);
    velkortest::XvfbDisplay display;
    velkortest::RtspCamera rtsp;
    if (!display.ready() || !rtsp.ready())
    {
        std::fprintf(stderr, "no Xvfb or no RTSP server\n");
        return 1;
    }
    velkortest::Emulator camera({"--protocols", "onvif", "--channels", "1", "--user", "admin",
                                 "--password", "secret", "--onvif-stream-uri",
                                 rtsp.url("/{format}")});
    velkortest::TestWindows windows;
    const std::uint32_t window = windows.create(320, 240);
    velkor::VelkorLibrary library;
    DeviceLibrary& api = library;
    velkortest::RecordingListener listener;
    api.Slot296(&listener);
    if (!camera.ready() || api.SetVideoWindow(window) != velkor::Ok ||
        api.SetHttpPort(camera.port()) != velkor::Ok || api.SetUserName("admin") != velkor::Ok ||
        api.SetPassword("secret") != velkor::Ok)
    {
        std::fprintf(stderr, "no camera or no window\n");
        return 1;
    }
    const std::string url = rtsp.url("/h264");
    std::vector<double> onvif;
    std::vector<double> direct;
    const double loadBefore = LoadAverage();
    for (int round = 0; round < rounds; ++round)
    {
        onvif.push_back(startLive(api, listener, "127.0.0.1", kH264Channel));
        direct.push_back(startLive(api, listener, url, 1));
        if (onvif.back() < 0 || direct.back() < 0)
        {
            std::fprintf(stderr, "round %d did not play\n", round + 1);
            return 1;
        }
    }
    api.Slot296(nullptr);
    library.shutdown();
    std::printf("Start Live (Open, PlayLive) to the first picture (OnImage), H.264 640x480 from "
                "GStreamer's RTSP server, %d rounds each (load average %.2f before, %.2f after)\n",
                rounds, loadBefore, LoadAverage());
    std::printf("  ONVIF camera by address 127.0.0.1:%d, WS-Security: median %.0f ms, worst %.0f "
                "ms\n",
                camera.port(), percentile(onvif, 0.5), percentile(onvif, 1.0));
    std::printf("  its RTSP URL typed directly:                 median %.0f ms, worst %.0f ms\n",
                percentile(direct, 0.5), percentile(direct, 1.0));
    return 0;
}
