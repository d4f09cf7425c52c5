// Live play as the console runs it, measured: the library plays one emulator stream into an
// 800 x 600 window on DISPLAY through its drawing thread for a while, and reports frames received,
// handed to the drawing thread, drawn and replaced there before being drawn, the latency from the
// emulator's X-Timestamp to the hand-over, and the CPU the process spent per drawn frame. With
// "ffmpeg" it also runs
//   ffmpeg -threads 1 -f FMT -i RAW_URL -vf scale=800:600 -pix_fmt bgra -f null -
// on the same stream (one encoding serves both readers) and compares the CPU both spent meanwhile.
//
// Usage: velkor_live_bench FORMAT WIDTH [SECONDS=10] [FPS=25] [ffmpeg]
#include "bench/support/BenchWindow.h"
#include "bench/support/ProcessClock.h"
#include "tests/support/Emulator.h"
#include "velkor/DrawingThread.h"
#include "velkor/HttpClient.h"
#include "velkor/LiveObserver.h"
#include "velkor/LiveStream.h"
#include "velkor/ResultCode.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{

struct Counts
{
    std::size_t received = 0;
    std::size_t drawn = 0;
    std::size_t skipped = 0;
    std::size_t undecodable = 0;
    // Frames the emulator never sent this reader: gaps in X-Frame.
    std::size_t notSent = 0;
    std::vector<double> latenciesMs;
};

class MeasuringObserver : public velkor::LiveObserver
{
public:
    void onPlaying() override {}
    void onPictureSize(int, int, std::size_t) override {}
    void onFrameError(int32_t, const std::string& description) override
    {
        std::fprintf(stderr, "OnError: %s\n", description.c_str());
    }
    void onPartDone(const velkor::PartOutcome& outcome) override
    {
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        std::lock_guard lock(m_mutex);
        ++m_counts.received;
        if (outcome.frameNumber && m_lastFrame > 0 && *outcome.frameNumber > m_lastFrame + 1)
        {
            m_counts.notSent += *outcome.frameNumber - m_lastFrame - 1;
        }
        m_lastFrame = outcome.frameNumber.value_or(m_lastFrame);
        switch (outcome.result)
        {
        case velkor::PartOutcome::Result::Drawn:
            ++m_counts.drawn;
            if (outcome.timestamp)
            {
                m_counts.latenciesMs.push_back(static_cast<double>(now - *outcome.timestamp) /
                                               1000.0);
            }
            break;
        case velkor::PartOutcome::Result::Skipped:
            ++m_counts.skipped;
            break;
        case velkor::PartOutcome::Result::Undecodable:
            ++m_counts.undecodable;
            break;
        case velkor::PartOutcome::Result::Decoded:
            break;
        }
    }
    void onEnded(int32_t code, const std::string& description) override
    {
        if (code != velkor::Ok)
        {
            std::fprintf(stderr, "play ended: %s\n", description.c_str());
        }
    }

    // The counts so far, and a fresh start.
    Counts take()
    {
        std::lock_guard lock(m_mutex);
        Counts counts = std::move(m_counts);
        m_counts = Counts{};
        return counts;
    }

private:
    std::mutex m_mutex;
    Counts m_counts;
    std::uint64_t m_lastFrame = 0;
};

// ffmpeg as a child whose CPU time can be read while it runs.
class Ffmpeg
{
public:
    explicit Ffmpeg(const std::vector<std::string>& arguments)
    {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments)
        {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Ffmpeg()
    {
        if (m_pid > 0)
        {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Ffmpeg(const Ffmpeg&) = delete;
    Ffmpeg& operator=(const Ffmpeg&) = delete;

    bool running() const { return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }

    // User and system time so far, from /proc.
    double cpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(m_pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto close = text.rfind(')');
        if (close == std::string::npos)
        {
            return 0;
        }
        // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
        std::vector<std::string> fields;
        std::size_t at = close + 2;
        while (at < text.size())
        {
            const auto space = text.find(' ', at);
            fields.push_back(text.substr(at, space - at));
            if (space == std::string::npos)
            {
                break;
            }
            at = space + 1;
        }
        if (fields.size() < 13)
        {
            return 0;
        }
        const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
        return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;
    }

private:
    pid_t m_pid = -1;
};

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
    {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

std::string rawFormatOf(const std::string& format)
{
    if (format == "h264")
    {
        return "h264";
    }
    if (format == "h265")
    {
        return "hevc";
    }
    if (format == "mpeg4")
    {
        return "m4v";
    }
    return "mjpeg";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        std::fprintf(stderr, "usage: %s FORMAT WIDTH [SECONDS=10] [FPS=25] [ffmpeg]\n", argv[0]);
        return 2;
    }
    const std::string format = argv[1];
    const int width = std::atoi(argv[2]);
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 10;
    const int fps = argc > 4 ? std::atoi(argv[4]) : 25;
    const bool compare = argc > 5 && std::string(argv[5]) == "ffmpeg";
    const auto codec = velkor::StreamFormats::fromProtocolName(format);
    if (!codec || width <= 0 || seconds <= 0 || fps <= 0)
    {
        std::fprintf(stderr, "bad arguments\n");
        return 2;
    }
    BenchWindow window;
    velkor::DrawingThread output;
    if (window.id() == 0 || output.setWindow(window.id()) != velkor::Ok)
    {
        std::fprintf(stderr, "no window to draw into: run under Xvfb with DISPLAY set\n");
        return 1;
    }
    velkortest::Emulator emulator(std::vector<std::string>{
        "--channels", "1", "--fps", std::to_string(fps), "--alarm-interval", "0"});
    if (!emulator.ready())
    {
        std::fprintf(stderr, "velkor-device did not start\n");
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(emulator.port());
    const double loadBefore = LoadAverage();

    auto observer = std::make_unique<MeasuringObserver>();
    MeasuringObserver& counts = *observer;
    velkor::HttpRequest device;
    device.url = base;
    device.totalTimeoutMs = 0;
    device.stallTimeoutMs = 5000;
    velkor::LiveStream live(output, std::move(observer), device);
    live.start(1, {*codec, width});

    std::unique_ptr<Ffmpeg> ffmpeg;
    std::vector<std::string> command;
    if (compare)
    {
        command = {"ffmpeg",
                   "-nostdin",
                   "-loglevel",
                   "error",
                   "-threads",
                   "1",
                   "-f",
                   rawFormatOf(format),
                   "-i",
                   base + "/velkor/live?channel=1&width=" + std::to_string(width) +
                       "&format=" + format + "&framing=raw",
                   "-vf",
                   "scale=800:600",
                   "-pix_fmt",
                   "bgra",
                   "-f",
                   "null",
                   "-"};
        ffmpeg = std::make_unique<Ffmpeg>(command);
    }

    // Past the first keyframe and the decoders' set-up; ffmpeg first reads some five seconds of
    // stream time to learn the stream's parameters and then decodes what it read at once, so it
    // is given time to be through that.
    std::this_thread::sleep_for(std::chrono::seconds(compare ? 15 : 3));
    counts.take();
    const std::uint64_t drawnStart = output.drawnCount();
    const std::uint64_t replacedStart = output.replacedCount();
    const double ourStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double theirStart = ffmpeg ? ffmpeg->cpuSeconds() : 0;
    const auto wallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const Counts measured = counts.take();
    const std::uint64_t drawn = output.drawnCount() - drawnStart;
    const std::uint64_t replaced = output.replacedCount() - replacedStart;
    const double ours = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - ourStart;
    const double theirs = ffmpeg ? ffmpeg->cpuSeconds() - theirStart : 0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    const bool ffmpegRan = ffmpeg && ffmpeg->running();
    live.stop();

    std::printf("%s %d at %d fps for %.1f s (load average %.2f before, %.2f after)\n",
                format.c_str(), width, fps, wall, loadBefore, LoadAverage());
    std::printf("  parts received %zu, handed to the drawing thread %zu, skipped %zu, undecodable "
                "%zu; not sent by the emulator %zu\n",
                measured.received, measured.drawn, measured.skipped, measured.undecodable,
                measured.notSent);
    std::printf("  drawing thread: drawn %llu, replaced by a newer picture before drawing %llu\n",
                static_cast<unsigned long long>(drawn), static_cast<unsigned long long>(replaced));
    std::printf("  latency X-Timestamp to hand-over: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                percentile(measured.latenciesMs, 0.5), percentile(measured.latenciesMs, 0.99),
                percentile(measured.latenciesMs, 1.0));
    std::printf("  library CPU %.1f %% of a core, %.3f ms per drawn frame\n", 100 * ours / wall,
                drawn > 0 ? 1000 * ours / static_cast<double>(drawn) : 0.0);
    if (compare)
    {
        std::string shown;
        for (const std::string& part : command)
        {
            shown += (shown.empty() ? "" : " ") + part;
        }
        std::printf("  %s\n", shown.c_str());
        std::printf("  ffmpeg CPU %.1f %% of a core%s; library / ffmpeg = %.2f\n",
                    100 * theirs / wall, ffmpegRan ? "" : " (ffmpeg had ended early)",
                    theirs > 0 ? ours / theirs : 0.0);
    }
    return 0;
}
