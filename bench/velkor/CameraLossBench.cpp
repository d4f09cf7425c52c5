// How often the window shows a new picture while a camera loses RTP packets. Runs its own Xvfb
// and GStreamer RTSP server, which sends over UDP and drops that share of its RTP packets.
//
//   velkor_camera_loss_bench [LOSS_PERCENT=1] [SECONDS=30] [CODEC=h264] [SEND_DELAY_MS=0]
//       H.264 (or h265, jpeg) 640x480 at 25 fps, a keyframe every 2 s, played by the library
//       into a 320 x 240 window; every 100 ms the window's pixels are read back, and a sample
//       counts as new when they differ from the sample before. Prints the share of new samples,
//       the longest run without a new picture, the library's counts, and the latency from
//       capture to drawing as its statistics show it (the camera sends each picture
//       SEND_DELAY_MS after taking it, and its sender reports map capture time).
#include "bench/support/ProcessClock.h"
#include "bench/velkor/QuietObserver.h"
#include "tests/support/RtspCamera.h"
#include "tests/velkor/support/TestWindows.h"
#include "tests/velkor/support/XvfbDisplay.h"
#include "velkor/camera/CameraStream.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/draw/StatisticsText.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kWidth = 320;
constexpr std::uint16_t kHeight = 240;
constexpr auto kSampleEvery = std::chrono::milliseconds(100);

struct Samples
{
    int total = 0;
    int fresh = 0;
    int longestStill = 0;
};

Samples sample(velkortest::TestWindows& windows, std::uint32_t window, int seconds)
{
    Samples samples;
    std::vector<std::uint32_t> last = windows.read(window, kWidth, kHeight);
    int still = 0;
    auto next = Clock::now() + kSampleEvery;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (next <= end)
    {
        std::this_thread::sleep_until(next);
        next += kSampleEvery;
        std::vector<std::uint32_t> now = windows.read(window, kWidth, kHeight);
        ++samples.total;
        if (now != last)
        {
            ++samples.fresh;
            still = 0;
        }
        else
        {
            samples.longestStill = std::max(samples.longestStill, ++still);
        }
        last = std::move(now);
    }
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    const double loss = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
    const std::string codec = argc > 3 ? argv[3] : "h264";
    const std::string delay = argc > 4 ? argv[4] : "0";
    velkortest::XvfbDisplay display;
    velkortest::RtspCamera camera({"--size", "640x480", "--fps", "25", "--keyframe-interval", "50",
                                   "--cam-codec", codec, "--loss", std::to_string(loss),
                                   "--send-delay", delay});
    velkortest::TestWindows windows;
    velkor::DrawingThread output;
    const std::uint32_t window = windows.usable() ? windows.create(kWidth, kHeight) : 0;
    if (!display.ready() || !camera.ready() || window == 0 ||
        output.setWindow(window) != velkor::Ok)
    {
        std::fprintf(stderr, "no X server, camera or window\n");
        return 1;
    }
    std::string why;
    auto url = velkor::CameraUrl::parse(camera.url("/cam-udp"), why);
    velkor::CameraStream stream(output, std::make_unique<QuietObserver>(), std::move(*url), {},
                                [](velkor::VideoCodec) {});
    output.beginPlay();
    stream.start(1, {});
    const auto firstBy = Clock::now() + std::chrono::seconds(10);
    while (output.counters()->snapshot().drawn == 0 && Clock::now() < firstBy)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const velkor::LiveCounters::Snapshot before = output.counters()->snapshot();
    const double loadBefore = LoadAverage();
    const Samples samples = sample(windows, window, seconds);
    const velkor::LiveCounters::Snapshot counted = output.counters()->snapshot() - before;
    const std::vector<std::string> box =
        velkor::StatisticsText::lines(output.statistics()->figures());
    stream.stop();
    std::printf("%s 640x480 25 fps over UDP, %.1f %% of RTP packets dropped, %d s:\n",
                codec.c_str(), loss, seconds);
    std::printf("  samples with a new picture: %d of %d (%.1f %%); longest still: %d ms\n",
                samples.fresh, samples.total,
                samples.total > 0 ? 100.0 * samples.fresh / samples.total : 0.0,
                samples.longestStill * static_cast<int>(kSampleEvery.count()));
    std::printf("  pictures received %llu, drawn %llu, undecodable %llu, concealed %llu, "
                "skipped %llu\n",
                static_cast<unsigned long long>(counted.parts),
                static_cast<unsigned long long>(counted.drawn),
                static_cast<unsigned long long>(counted.undecodable),
                static_cast<unsigned long long>(counted.concealed),
                static_cast<unsigned long long>(counted.skipped));
    using Snapshot = velkor::LiveCounters::Snapshot;
    std::printf("  latency to drawing: %zu ms median, %zu ms at 90 %% (sent %s ms after capture)\n",
                Snapshot::percentile(counted.drawnLatencyMs, 0.5).value_or(0),
                Snapshot::percentile(counted.drawnLatencyMs, 0.9).value_or(0), delay.c_str());
    std::printf("  the statistics box at the end:\n");
    for (const std::string& line : box)
    {
        std::printf("    %s\n", line.c_str());
    }
    std::printf("  load average %.2f before, %.2f after\n", loadBefore, LoadAverage());
    return 0;
}
