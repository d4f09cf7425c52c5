// Standard cameras played by the library, measured against the goals for them. Runs its own Xvfb
// and GStreamer RTSP server (and ffmpeg as the HTTP camera); prints the load average beside each
// figure.
//
//   velkor_camera_bench cpu [SECONDS=20]
//       CPU per second of the library playing an RTSP H.264 1280x720 25 fps stream into an
//       800 x 600 window, against
//         ffmpeg -rtsp_transport tcp -i URL -vf scale=800:600 -pix_fmt bgra -f null -
//       reading the same server at the same time.
//   velkor_camera_bench mpv [SECONDS=20]
//       The same stream played in turn by the library and by
//         mpv --no-config --vo=x11 --hwdec=no --no-audio --rtsp-transport=tcp URL
//       each decoding in software and drawing through MIT-SHM into an 800 x 600 window of the
//       same Xvfb (mpv's own window, which it scales into with libswscale); the CPU of each
//       player alone and with the X server's, after 5 s to settle. Goal: the library at most 0.6
//       times mpv.
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
#include <functional>
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

struct PlayerCpu
{
    double player = 0;
    double server = 0;
    double wall = 0;
};

// CPU of `player` (this process when 0) and of the X server over `seconds`; `mark` is called at
// the start and the end.
PlayerCpu measurePlayer(int player, int server, int seconds, const std::function<void()>& mark)
{
    const auto playerCpu = [player]
    { return player == 0 ? CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) : cpuSecondsOf(player); };
    mark();
    const double playerStart = playerCpu();
    const double serverStart = cpuSecondsOf(server);
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    PlayerCpu cpu;
    cpu.wall = msSince(wallStart) / 1000;
    cpu.player = (playerCpu() - playerStart) / cpu.wall;
    cpu.server = (cpuSecondsOf(server) - serverStart) / cpu.wall;
    mark();
    return cpu;
}

// mpv's pictures shown and dropped so far, from the last of its status lines.
struct MpvFrames
{
    long shown = 0;
    long dropped = 0;
};

MpvFrames latestFrames(velkortest::ProcessRunner& mpv, MpvFrames last)
{
    // Buffered lines come at once; one a picture follows while mpv plays.
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    while (Clock::now() < until)
    {
        const auto line = mpv.readLine(std::chrono::milliseconds(200));
        if (!line)
        {
            break;
        }
        const auto at = line->find("frames ");
        if (at != std::string::npos)
        {
            std::sscanf(line->c_str() + at, "frames %ld dropped %ld", &last.shown, &last.dropped);
        }
    }
    return last;
}

void printMpvComparison(const std::string& url, int seconds, double loadBefore,
                        const PlayerCpu& ours, const velkor::LiveCounters::Snapshot& counted,
                        const std::vector<std::string>& command, const PlayerCpu& theirs,
                        const MpvFrames& mpvFrames)
{
    std::string shown;
    for (const std::string& part : command)
    {
        shown += (shown.empty() ? "" : " ") + part;
    }
    std::printf("%s, H.264 1280x720 25 fps into 800 x 600, %d s each (load average %.2f before, "
                "%.2f after)\n",
                url.c_str(), seconds, loadBefore, LoadAverage());
    std::printf("  library: %.1f %% of a core, with Xvfb %.1f %%; pictures a second received "
                "%.1f, drawn %.1f\n",
                100 * ours.player, 100 * (ours.player + ours.server),
                static_cast<double>(counted.parts) / ours.wall,
                static_cast<double>(counted.drawn) / ours.wall);
    std::printf("  %s\n  mpv: %.1f %% of a core, with Xvfb %.1f %%; pictures a second %.1f, "
                "dropped %.1f\n",
                shown.c_str(), 100 * theirs.player, 100 * (theirs.player + theirs.server),
                static_cast<double>(mpvFrames.shown) / theirs.wall,
                static_cast<double>(mpvFrames.dropped) / theirs.wall);
    std::printf("  library / mpv = %.2f, with Xvfb %.2f (goal: at most 0.6)\n",
                theirs.player > 0 ? ours.player / theirs.player : 0.0,
                theirs.player > 0 ? (ours.player + ours.server) / (theirs.player + theirs.server)
                                  : 0.0);
}

// The library's CPU playing `url` into an 800 x 600 window, and what it counted meanwhile; no wall
// time without a window.
PlayerCpu playedByLibrary(const std::string& url, int server, int seconds,
                          velkor::LiveCounters::Snapshot& counted)
{
    BenchWindow window;
    velkor::DrawingThread output;
    if (window.id() == 0 || output.setWindow(window.id()) != velkor::Ok)
    {
        return {};
    }
    auto stream = playCamera(url, output);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    velkor::LiveCounters::Snapshot before;
    const PlayerCpu ours = measurePlayer(0, server, seconds,
                                         [&]
                                         {
                                             counted = output.counters()->snapshot() - before;
                                             before = output.counters()->snapshot();
                                         });
    stream->stop();
    return ours;
}

int compareWithMpv(int seconds, int server)
{
    velkortest::RtspCamera camera(
        {"--size", "1280x720", "--fps", "25", "--keyframe-interval", "25"});
    if (!camera.ready())
    {
        std::fprintf(stderr, "no camera\n");
        return 1;
    }
    const std::string url = camera.url("/h264");
    const double loadBefore = LoadAverage();
    velkor::LiveCounters::Snapshot counted;
    const PlayerCpu ours = playedByLibrary(url, server, seconds, counted);
    if (ours.wall == 0)
    {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    const std::vector<std::string> command{
        "mpv",
        "--no-config",
        "--vo=x11",
        "--hwdec=no",
        "--no-audio",
        "--rtsp-transport=tcp",
        "--geometry=800x600+0+0",
        "--no-border",
        "--msg-level=all=error,statusline=status",
        "--term-status-msg=frames ${estimated-frame-number} dropped ${frame-drop-count}\\n",
        url};
    velkortest::ProcessRunner mpv;
    if (!mpv.start(command, true))
    {
        std::fprintf(stderr, "mpv did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(5));
    MpvFrames first;
    MpvFrames last;
    bool atStart = true;
    const PlayerCpu theirs = measurePlayer(mpv.pid(), server, seconds,
                                           [&]
                                           {
                                               (atStart ? first : last) =
                                                   latestFrames(mpv, atStart ? first : last);
                                               atStart = false;
                                           });
    const MpvFrames counts{last.shown - first.shown, last.dropped - first.dropped};
    printMpvComparison(url, seconds, loadBefore, ours, counted, command, theirs, counts);
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
    if (mode == "mpv")
    {
        return compareWithMpv(count > 0 ? count : 20, display.pid());
    }
    if (mode == "first")
    {
        return measureFirstPicture(count > 0 ? count : 10);
    }
    if (mode == "comeback")
    {
        return measureComeback(count > 0 ? count : 10, argc > 3 ? std::atoi(argv[3]) : 0);
    }
    std::fprintf(
        stderr,
        "usage: %s cpu [SECONDS] | mpv [SECONDS] | first [ROUNDS] | comeback [KILLS] [DOWNTIME]\n",
        argv[0]);
    return 2;
}
