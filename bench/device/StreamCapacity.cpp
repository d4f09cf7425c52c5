// How many streams of one kind (format and width, each on a channel of its own) the emulator
// keeps at the full frame rate on this machine: N streams are encoded as the emulator encodes
// them, each with one reader taking every frame, and N grows until one stream falls below 95 %
// of the rate.
//
//   velkor_device_capacity [SECONDS] [FORMAT:WIDTH ...]
//
// Defaults: 4 s of measuring per step; jpeg:640 jpeg:1920 mpeg4:640 h264:640 h264:1920
// h265:640 h265:1920.
#include "bench/support/ProcessClock.h"
#include "device/ChannelSource.h"
#include "device/FrameHandOver.h"
#include "device/StreamFormats.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace velkordevice;
using Clock = std::chrono::steady_clock;

constexpr int kFps = 25;
constexpr double kKeptShare = 0.95;
constexpr int kMostStreams = 64;

struct Measurement
{
    double slowestFps = 0;
    double cpuCores = 0;
};

// Runs `count` streams of `key`, lets them settle for a second, then counts the frames every
// reader gets for `seconds`.
Measurement measure(StreamKey key, int count, double seconds)
{
    std::vector<std::shared_ptr<ChannelSource>> channels;
    std::vector<std::shared_ptr<FrameHandOver>> streams;
    for (int channel = 1; channel <= count; ++channel)
    {
        // Live encoding is what is measured: a loop would keep any number at the full rate.
        channels.push_back(std::make_shared<ChannelSource>(channel, kFps, LoopMode::Never));
        channels.back()->start();
        streams.push_back(channels.back()->addReader(key));
    }
    std::atomic<bool> counting{false};
    std::atomic<bool> done{false};
    std::vector<std::atomic<int>> frames(static_cast<std::size_t>(count));
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < streams.size(); ++i)
    {
        readers.emplace_back(
            [&, i]
            {
                auto cursor = streams[i]->join();
                while (!done)
                {
                    if (streams[i]->next(cursor, std::chrono::milliseconds(100)) && counting)
                    {
                        ++frames[i];
                    }
                }
            });
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto start = Clock::now();
    counting = true;
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    counting = false;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    done = true;
    for (auto& reader : readers)
    {
        reader.join();
    }
    Measurement result{1e9, cpu / elapsed};
    for (const auto& received : frames)
    {
        result.slowestFps = std::min(result.slowestFps, received.load() / elapsed);
    }
    for (std::size_t i = 0; i < channels.size(); ++i)
    {
        channels[i]->removeReader(key);
    }
    return result;
}

bool kept(const Measurement& m)
{
    return m.slowestFps >= kFps * kKeptShare;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = 4;
    std::vector<std::string> kinds;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        if (arg.find(':') == std::string::npos)
        {
            seconds = std::atof(arg.c_str());
        }
        else
        {
            kinds.push_back(arg);
        }
    }
    if (kinds.empty())
    {
        kinds = {"jpeg:640",  "jpeg:1920", "mpeg4:640", "h264:640",
                 "h264:1920", "h265:640",  "h265:1920"};
    }
    std::printf("%u cores, %d fps, a stream is kept at >= %.0f %% of it, %.0f s per step\n",
                std::thread::hardware_concurrency(), kFps, kKeptShare * 100, seconds);
    for (const std::string& kind : kinds)
    {
        const auto colon = kind.find(':');
        const auto format = StreamFormats::parse(kind.substr(0, colon));
        const int width = std::atoi(kind.substr(colon + 1).c_str());
        if (!format || !StreamFormats::offersWidth(*format, width))
        {
            std::fprintf(stderr, "not a stream: %s\n", kind.c_str());
            return 2;
        }
        const StreamKey key{*format, width};
        // Doubling finds a count that is not kept; halving the gap finds the last one that is.
        int good = 0;
        int bad = 0;
        Measurement best;
        const auto tryCount = [&](int n)
        {
            const Measurement m = measure(key, n, seconds);
            std::printf("  %-10s x %2d: slowest %5.1f fps, %.2f cores busy, load %.2f\n",
                        kind.c_str(), n, m.slowestFps, m.cpuCores, LoadAverage());
            if (kept(m))
            {
                good = n;
                best = m;
            }
            else
            {
                bad = n;
            }
        };
        for (int n = 1; n <= kMostStreams && bad == 0; n *= 2)
        {
            tryCount(n);
        }
        while (bad > good + 1)
        {
            tryCount((good + bad) / 2);
        }
        std::printf("%-10s: %d stream(s) kept at %d fps (%.2f cores busy)\n", kind.c_str(), good,
                    kFps, best.cpuCores);
        std::fflush(stdout);
    }
    return 0;
}
