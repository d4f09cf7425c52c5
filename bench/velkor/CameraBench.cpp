// Standard cameras played by the library, measured against the goals for them. Runs its own Xvfb
// and GStreamer RTSP server (and ffmpeg as the HTTP camera); prints the load average beside each
// figure.
//
//   velkor_camera_bench cpu [SECONDS=20]
//       CPU per second of the library playing an RTSP H.264 1280x720 25 fps stream into an
//       800 x 600 window, against
//         ffmpeg -rtsp_transport tcp -i URL -vf scale=800:600 -pix_fmt bgra -f null -
//       reading the same server at the same time.
//   velkor_camera_bench first [ROUNDS=10]
//       Time from the start of play to the first picture drawn, for each codec (one keyframe a
//       second). GStreamer's server starts each client's stream at a
//       keyframe, so these figures hold no wait for one.
//   velkor_camera_bench comeback [KILLS=10] [DOWNTIME_SECONDS=0]
//       Through the library's operations, as the console calls them: the RTSP camera is killed
//       during play and started again on the same port after DOWNTIME; the time from its listening
//       again to OnPlayStatus(1, 1) and to its picture in the window again.
#include "bench/support/BenchWindow.h"
#include "bench/support/ProcessClock.h"
#include "bench/velkor/QuietObserver.h"
#include "devicelib/DeviceLibrary.h"
#include "tests/support/HttpCamera.h"
#include "tests/support/ProcessRunner.h"
#include "tests/support/RtspCamera.h"
#include "tests/velkor/support/RecordingListener.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/api/VelkorLibrary.h"
#include "velkor/camera/CameraStream.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
    {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

std::unique_ptr<velkor::CameraStream> playCamera(const std::string& text,
                                                 velkor::PictureSink& output)
{
    std::string why;
    auto url = velkor::CameraUrl::parse(text, why);
    if (!url)
    {
        std::fprintf(stderr, "%s: %s\n", text.c_str(), why.c_str());
        std::exit(2);
    }
    auto stream = std::make_unique<velkor::CameraStream>(
        output, std::make_unique<QuietObserver>(), std::move(*url),
        velkor::CameraStream::Credentials{}, [](velkor::VideoCodec) {});
    stream->start(1, {});
    return stream;
}

// User and system time of a child so far, from /proc.
double cpuSecondsOf(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    std::size_t at = text.rfind(')');
    // utime and stime are the 12th and 13th fields after the command.
    for (int field = 0; field < 12 && at != std::string::npos; ++field)
    {
        at = text.find(' ', at + 1);
    }
    if (at == std::string::npos)
    {
        return 0;
    }
    char* end = nullptr;
    const double user = std::strtod(text.c_str() + at + 1, &end);
    const double system = std::strtod(end, nullptr);
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

int measureCpu(int seconds)
{
    velkortest::RtspCamera camera(
        {"--size", "1280x720", "--fps", "25", "--keyframe-interval", "25"});
    BenchWindow window;
    velkor::DrawingThread output;
    if (!camera.ready() || window.id() == 0 || output.setWindow(window.id()) != velkor::Ok)
    {
        std::fprintf(stderr, "no camera or no window\n");
        return 1;
    }
    const std::string url = camera.url("/h264");
    const double loadBefore = LoadAverage();
    auto stream = playCamera(url, output);
    const std::vector<std::string> command{
        "ffmpeg",   "-nostdin", "-loglevel", "error", "-rtsp_transport",
        "tcp",      "-i",       url,         "-vf",   "scale=800:600",
        "-pix_fmt", "bgra",     "-f",        "null",  "-"};
    velkortest::ProcessRunner ffmpeg;
    ffmpeg.start(command);
    // Past both readers' start: ffmpeg first reads a while to learn the stream.
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const velkor::LiveCounters::Snapshot before = output.counters()->snapshot();
    const double oursStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double theirsStart = cpuSecondsOf(ffmpeg.pid());
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = msSince(wallStart) / 1000;
    const double ours = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - oursStart;
    const double theirs = cpuSecondsOf(ffmpeg.pid()) - theirsStart;
    const velkor::LiveCounters::Snapshot counted = output.counters()->snapshot() - before;
    const bool ffmpegRan = !ffmpeg.waitForExit(std::chrono::milliseconds(0));
    stream->stop();

    std::string shown;
    for (const std::string& part : command)
    {
        shown += (shown.empty() ? "" : " ") + part;
    }
    std::printf("%s, 1280x720 25 fps into 800 x 600, %.1f s (load average %.2f before, %.2f "
                "after)\n",
                url.c_str(), wall, loadBefore, LoadAverage());
    std::printf("  library: %.1f %% of a core; pictures handed to the drawing thread %llu (%.1f "
                "per s), drawn %llu, replaced by a newer one before drawn %llu, undecodable "
                "%llu\n",
                100 * ours / wall, static_cast<unsigned long long>(counted.handedOver),
                static_cast<double>(counted.handedOver) / wall,
                static_cast<unsigned long long>(counted.drawn),
                static_cast<unsigned long long>(counted.replaced),
                static_cast<unsigned long long>(counted.undecodable));
    std::printf("  latency from the camera's capture time (its RTCP sender reports) to the "
                "hand-over: p50 %zu ms, p99 %zu ms, max %zu ms\n",
                counted.latencyPercentile(0.5).value_or(0),
                counted.latencyPercentile(0.99).value_or(0),
                counted.latencyPercentile(1.0).value_or(0));
    std::printf("  %s\n  ffmpeg: %.1f %% of a core%s\n  library / ffmpeg = %.2f (goal: at most "
                "1.0)\n",
                shown.c_str(), 100 * theirs / wall, ffmpegRan ? "" : " (ffmpeg had ended early)",
                theirs > 0 ? ours / theirs : 0.0);
    return 0;
}

int measureFirstPicture(int rounds)
{
    velkortest::RtspCamera camera({"--keyframe-interval", "25"});
    velkortest::HttpCamera http;
    BenchWindow window;
    velkor::DrawingThread output;
    if (!camera.ready() || !http.ready() || window.id() == 0 ||
        output.setWindow(window.id()) != velkor::Ok)
    {
        std::fprintf(stderr, "no camera or no window\n");
        return 1;
    }
    std::printf("time to the first picture, %d rounds each, 640x480 (HTTP 800x600) at 25 fps, "
                "a keyframe every 25 pictures (load average %.2f)\n",
                rounds, LoadAverage());
    for (const std::string& url :
         {camera.url("/h264"), camera.url("/h265"), camera.url("/jpeg"), http.url()})
    {
        std::vector<double> totals;
        for (int round = 0; round < rounds; ++round)
        {
            const std::uint64_t drawnBefore = output.counters()->snapshot().drawn;
            const auto start = Clock::now();
            auto stream = playCamera(url, output);
            const auto deadline = start + std::chrono::seconds(10);
            while (output.counters()->snapshot().drawn == drawnBefore && Clock::now() < deadline)
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            totals.push_back(msSince(start));
            stream->stop();
            // A camera that serves one connection at a time needs a moment to listen again.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        std::printf("  %-38s p50 %4.0f ms, worst %4.0f ms (goal: at most %d ms)\n", url.c_str(),
                    percentile(totals, 0.5), percentile(totals, 1.0),
                    url.rfind("rtsp", 0) == 0 && url.find("jpeg") == std::string::npos ? 1300
                                                                                       : 340);
    }
    std::printf("  (load average %.2f after)\n", LoadAverage());
    return 0;
}

bool showsNoSignal(const std::vector<std::uint32_t>& pixels)
{
    const auto background = std::count(pixels.begin(), pixels.end(), 0x282C34U);
    return pixels.empty() || background > static_cast<long>(pixels.size()) / 2;
}

int measureComeback(int kills, int downtimeSeconds)
{
    velkortest::TestWindows windows;
    const std::uint32_t window = windows.create(320, 240);
    velkor::VelkorLibrary library;
    DeviceLibrary* api = &library;
    velkortest::RecordingListener listener;
    api->Slot296(&listener);
    auto camera = std::make_unique<velkortest::RtspCamera>();
    if (!camera->ready() || api->SetVideoWindow(window) != velkor::Ok ||
        api->SetIPAddr(camera->url("/h264").c_str()) != velkor::Ok || api->Open() <= 0 ||
        api->PlayLive(1, nullptr, 0, nullptr) != velkor::Ok ||
        !listener.waitFor("image", 0, 640 * 65536 + 480))
    {
        std::fprintf(stderr, "the camera did not play\n");
        return 1;
    }
    const int port = camera->port();
    const auto picture = [&] { return !showsNoSignal(windows.read(window, 320, 240)); };
    std::vector<double> accepted;
    std::vector<double> drawn;
    const double loadBefore = LoadAverage();
    for (int kill = 0; kill < kills; ++kill)
    {
        listener.reset();
        camera->kill();
        if (!listener.waitFor("play", 1, 0))
        {
            std::fprintf(stderr, "the loss was not noticed\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(downtimeSeconds));
        camera = std::make_unique<velkortest::RtspCamera>(std::vector<std::string>{}, port);
        const auto back = Clock::now();
        if (!camera->ready() || !listener.waitFor("play", 1, 1, std::chrono::seconds(30)))
        {
            std::fprintf(stderr, "play did not come back\n");
            return 1;
        }
        accepted.push_back(msSince(back));
        while (!picture() && msSince(back) < 30000)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        drawn.push_back(msSince(back));
    }
    api->Close();
    api->Slot296(nullptr);
    library.shutdown();
    std::printf("%d kills of the RTSP camera during play, started again on the same port after "
                "%d s (load average %.2f before, %.2f after)\n",
                kills, downtimeSeconds, loadBefore, LoadAverage());
    std::printf("  from listening again to OnPlayStatus(1, 1): p50 %.0f ms, worst %.0f ms\n",
                percentile(accepted, 0.5), percentile(accepted, 1.0));
    std::printf("  from listening again to the picture drawn:  p50 %.0f ms, worst %.0f ms (goal: "
                "at most 3000 ms)\n",
                percentile(drawn, 0.5), percentile(drawn, 1.0));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    velkortest::XvfbDisplay display;
    if (!display.ready())
    {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    if (mode == "cpu")
    {
        return measureCpu(count > 0 ? count : 20);
    }
    if (mode == "first")
    {
        return measureFirstPicture(count > 0 ? count : 10);
    }
    if (mode == "comeback")
    {
        return measureComeback(count > 0 ? count : 10, argc > 3 ? std::atoi(argv[3]) : 0);
    }
    std::fprintf(stderr, "usage: %s cpu [SECONDS] | first [ROUNDS] | comeback [KILLS] [DOWNTIME]\n",
                 argv[0]);
    return 2;
}
