// How long the library keeps its caller waiting when the world around it misbehaves: stopping
// play, ClearImage, SetVideoWindow(0) and Close while the X server is stopped (SIGSTOP) during
// live play; leaving main the same way (velkor_exit_probe, from its last line to its exit); Close
// while live play waits for a device that went away; stopping play and Close while an RTSP
// camera answers nothing; and how soon a silent live stream and a silent event stream are given
// up, counted from the last byte each brought. Prints the median and
// the worst of each over the rounds, and the load. Usage: velkor_stall_bench [ROUNDS]   (default 3;
// runs its own Xvfb and emulator)
#include "devicelib/DeviceLibrary.h"
#include "tests/support/Emulator.h"
#include "tests/velkor/support/FakeDevice.h"
#include "tests/velkor/support/HostileRtspCamera.h"
#include "tests/velkor/support/RecordingListener.h"
#include "tests/velkor/support/ServerPause.h"
#include "tests/velkor/support/SilentRtspCamera.h"
#include "tests/velkor/support/TestJpeg.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/report/ResultCode.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double secondsOf(Clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

double timed(const std::function<void()>& call)
{
    const auto start = Clock::now();
    call();
    return secondsOf(Clock::now() - start);
}

std::uint32_t makeWindow(xcb_connection_t* connection)
{
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const std::uint32_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 320, 240, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    return window;
}

bool isError(const velkortest::RecordedEvent& event, int32_t code)
{
    return event.kind == "error" && event.a == code;
}

// One round against a stopped X server; false when play did not start.
bool stallRound(DeviceLibrary& api, velkortest::RecordingListener& listener,
                const velkortest::XvfbDisplay& display, std::uint32_t window,
                std::map<std::string, std::vector<double>>& figures)
{
    listener.reset();
    api.SetVideoWindow(window);
    if (api.Open() < 0)
    {
        return false;
    }
    const velkortest::ServerPause pause(display, std::chrono::seconds(20));
    if (api.PlayLive(1, nullptr, 0, nullptr) != velkor::Ok ||
        !listener.waitFor("image", 0, 320 * 65536 + 240))
    {
        return false;
    }
    figures["PlayControl (stop)"].push_back(
        timed([&] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
    figures["ClearImage"].push_back(timed([&] { api.ClearImage(); }));
    figures["SetVideoWindow(0)"].push_back(timed([&] { api.SetVideoWindow(0); }));
    figures["Close"].push_back(timed([&] { api.Close(); }));
    return true;
}

// Leaving main with live play running and the X server stopped; nothing when the probe failed.
std::optional<double> exitRound(const velkortest::XvfbDisplay& display, int port)
{
    velkortest::ProcessRunner probe;
    if (!probe.start({VELKOR_EXIT_PROBE_PATH, std::to_string(port), "return",
                      std::to_string(display.pid())}))
    {
        return std::nullopt;
    }
    const auto line = probe.readLine(std::chrono::seconds(10));
    const auto leaving = Clock::now();
    const auto exited = probe.waitForExit(std::chrono::seconds(20));
    const double seconds = secondsOf(Clock::now() - leaving);
    display.resume();
    if (!line || *line != "leaving" || exited != 0)
    {
        return std::nullopt;
    }
    return seconds;
}

// A device that sends one picture and its first events and then nothing, keeping its connections
// open.
void silenceRound(DeviceLibrary& api, velkortest::RecordingListener& listener,
                  std::map<std::string, std::vector<double>>& figures)
{
    std::mutex mutex;
    Clock::time_point lastPicture;
    velkortest::FakeDevice::Options options;
    options.keepalive = false;
    options.live = [&](velkortest::LoopbackConnection& connection)
    {
        connection.send(velkortest::FakeDevice::multipartHead("b") +
                        velkortest::FakeDevice::part("b", velkortest::makeJpeg(32, 24, 0)));
        {
            std::lock_guard lock(mutex);
            if (lastPicture == Clock::time_point{})
            {
                lastPicture = Clock::now();
            }
        }
        connection.waitUntilStopping();
    };
    velkortest::FakeDevice device(options);
    listener.reset();
    api.SetHttpPort(device.port());
    api.SetVideoWindow(0);
    if (api.Open() < 0)
    {
        return;
    }
    // The device's last word on its event stream.
    if (!listener.waitFor("dev", 2, 1) || api.PlayLive(1, nullptr, 0, nullptr) != velkor::Ok ||
        !listener.waitFor([](const auto& event) { return isError(event, velkor::StreamLost); },
                          std::chrono::seconds(20)) ||
        !listener.waitFor([](const auto& event) { return isError(event, velkor::SessionLost); },
                          std::chrono::seconds(20)))
    {
        api.Close();
        return;
    }
    Clock::time_point lastEvent;
    for (const velkortest::RecordedEvent& event : listener.events())
    {
        if (event.kind == "dev" && event.a == 2 && lastEvent == Clock::time_point{})
        {
            lastEvent = event.at;
        }
        else if (isError(event, velkor::StreamLost))
        {
            std::lock_guard lock(mutex);
            figures["silent live stream noticed"].push_back(secondsOf(event.at - lastPicture));
        }
        else if (isError(event, velkor::SessionLost))
        {
            figures["silent event stream noticed"].push_back(secondsOf(event.at - lastEvent));
        }
    }
    api.PlayControl(1, 1, nullptr, 0, nullptr);
    api.Close();
}

// A device that goes away during live play and stays away, asked for its info a few times so the
// pauses between the questions have grown.
void waitingRound(DeviceLibrary& api, velkortest::RecordingListener& listener,
                  std::map<std::string, std::vector<double>>& figures)
{
    velkortest::FakeDevice device;
    listener.reset();
    api.SetHttpPort(device.port());
    api.SetVideoWindow(0);
    if (api.Open() < 0)
    {
        return;
    }
    const std::size_t asked = device.requestTimes("/velkor/info").size();
    if (api.PlayLive(1, nullptr, 0, nullptr) == velkor::Ok && listener.waitFor("play", 1, 1))
    {
        device.goAway();
        if (device.waitForRequests("/velkor/info", asked + 3))
        {
            figures["Close while play waits"].push_back(timed([&api] { api.Close(); }));
        }
    }
    api.Close();
}

// An RTSP camera that answers nothing once libavformat connects: stopping play and Close while
// libavformat waits for its answer; and one that answers PLAY and then sends nothing: stopping
// play while libavformat waits for pictures.
void cameraRound(DeviceLibrary& api, velkortest::RecordingListener& listener,
                 std::map<std::string, std::vector<double>>& figures)
{
    api.SetVideoWindow(0);
    {
        velkortest::SilentRtspCamera silent;
        api.SetIPAddr(silent.url().c_str());
        if (api.Open() > 0 && api.PlayLive(1, nullptr, 0, nullptr) == velkor::Ok &&
            silent.waitForConnections(1))
        {
            figures["camera silent: stop"].push_back(
                timed([&api] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
            if (api.PlayLive(1, nullptr, 0, nullptr) == velkor::Ok && silent.waitForConnections(2))
            {
                figures["camera silent: Close"].push_back(timed([&api] { api.Close(); }));
            }
        }
        api.Close();
    }
    velkortest::HostileRtspCamera quiet(velkortest::HostileRtspCamera::Mode::ManyTracks);
    api.SetIPAddr(quiet.url().c_str());
    listener.reset();
    if (api.Open() > 0 && api.PlayLive(1, nullptr, 0, nullptr) == velkor::Ok &&
        listener.waitFor("play", 1, 1))
    {
        figures["camera sends nothing: stop"].push_back(
            timed([&api] { api.PlayControl(1, 1, nullptr, 0, nullptr); }));
    }
    api.Close();
    api.SetIPAddr("127.0.0.1");
}

double loadAverage()
{
    double load = -1;
    if (std::FILE* file = std::fopen("/proc/loadavg", "r"))
    {
        if (std::fscanf(file, "%lf", &load) != 1)
        {
            load = -1;
        }
        std::fclose(file);
    }
    return load;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const double loadBefore = loadAverage();
    velkortest::XvfbDisplay display;
    velkortest::Emulator emulator({"--channels", "1", "--alarm-interval", "0"});
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (!display.ready() || !emulator.ready() || xcb_connection_has_error(connection) != 0)
    {
        std::fprintf(stderr, "no Xvfb or no emulator\n");
        return 1;
    }
    const std::uint32_t window = makeWindow(connection);
    DeviceLibrary* api = GetVelkorAPI();
    velkortest::RecordingListener listener;
    api->Slot042(&listener);
    api->SetJPEGResolution(320);

    std::map<std::string, std::vector<double>> figures;
    for (int round = 0; round < rounds; ++round)
    {
        api->SetHttpPort(emulator.port());
        if (!stallRound(*api, listener, display, window, figures))
        {
            std::fprintf(stderr, "live play did not start in round %d\n", round + 1);
        }
        api->PlayControl(1, 1, nullptr, 0, nullptr);
        api->Close();
        if (const auto seconds = exitRound(display, emulator.port()))
        {
            figures["leaving main (exit probe)"].push_back(*seconds);
        }
        else
        {
            std::fprintf(stderr, "the exit probe failed in round %d\n", round + 1);
        }
        silenceRound(*api, listener, figures);
        waitingRound(*api, listener, figures);
        cameraRound(*api, listener, figures);
    }
    api->Slot042(nullptr);
    xcb_disconnect(connection);

    std::printf("%-30s %8s %8s %6s\n", "what", "median", "worst", "runs");
    for (auto& [what, values] : figures)
    {
        std::sort(values.begin(), values.end());
        std::printf("%-30s %7.3fs %7.3fs %6zu\n", what.c_str(), values[values.size() / 2],
                    values.back(), values.size());
    }
    std::printf("load average (1 min) before %.2f, after %.2f\n", loadBefore, loadAverage());
    return 0;
}
