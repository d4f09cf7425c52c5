// Live play as the console runs it, measured: the library plays an emulator stream into an
// 800 x 600 window on DISPLAY through its drawing thread for a while, and reports from its own
// counters the parts received, handed to the drawing thread, drawn and replaced there before
// being drawn, the latency from the emulator's X-Timestamp to the hand-over, and the CPU the
// process spent. With "ffmpeg" it also runs
//   ffmpeg -threads 1 -f FMT -i RAW_URL -f null -
// on the same stream (one encoding serves both readers), and sets the CPU both spent meanwhile
// against the goal: the library's whole path at most 1.1 times ffmpeg's decoding plus 0.006
// CPU-seconds per second (writing 800 x 600 BGRA pictures 30 times a second). "all" does so for
// every format at 640 and 1920, one after another, and sums them up in a table.
//
// "statistics" plays one stream with the library's statistics box hidden and shown by turns,
// ROUNDS times each, and sets the CPU of the two against each other (goal: the box shown costs at
// most 5 % more); then it counts the same stream with ffprobe for SECONDS and sets the frame rate,
// bitrate, codec, profile and size ffprobe saw beside the library's figures.
//
// Usage: velkor_live_bench FORMAT WIDTH [SECONDS=10] [FPS=25] [ffmpeg]
//        velkor_live_bench all [SECONDS=10] [FPS=30]
//        velkor_live_bench statistics FORMAT WIDTH [SECONDS=10] [ROUNDS=3] [FPS=25]
#include "bench/support/BenchWindow.h"
#include "bench/support/ProcessClock.h"
#include "bench/velkor/QuietObserver.h"
#include "tests/support/Emulator.h"
#include "velkor/draw/DrawingThread.h"
#include "velkor/draw/StatisticsText.h"
#include "velkor/native/LiveStream.h"
#include "velkor/net/HttpClient.h"
#include "velkor/report/LiveObserver.h"
#include "velkor/report/ResultCode.h"
#include "velkor/stats/LiveCounters.h"
#include "velkor/stats/LiveStatistics.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

// ffmpeg as a child whose CPU time can be read while it runs.
class Ffmpeg
{
public:
    // `output`: where its standard output goes.
    explicit Ffmpeg(const std::vector<std::string>& arguments,
                    const std::string& output = "/dev/null")
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
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
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

    // True once it ended by itself within `patience`.
    bool waitForEnd(std::chrono::seconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline)
        {
            if (m_pid <= 0 || ::waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            {
                m_pid = -1;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

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

struct Stream
{
    std::string format;
    int width = 0;
};

struct Measured
{
    Stream stream;
    double wall = 0;
    double ours = 0;
    double theirs = 0;
    bool ffmpegRan = false;
    velkor::LiveCounters::Snapshot counted;
};

constexpr double kGoalFactor = 1.1;
constexpr double kGoalFloor = 0.006;

std::vector<std::string> ffmpegCommand(const std::string& base, const Stream& stream)
{
    return {"ffmpeg",
            "-nostdin",
            "-loglevel",
            "error",
            "-threads",
            "1",
            "-f",
            rawFormatOf(stream.format),
            "-i",
            base + "/velkor/live?channel=1&width=" + std::to_string(stream.width) +
                "&format=" + stream.format + "&framing=raw",
            "-f",
            "null",
            "-"};
}

void printFigures(velkor::DrawingThread& output)
{
    std::printf("  the library's figures, as its statistics box shows them:\n");
    for (const std::string& line : velkor::StatisticsText::lines(output.statistics()->figures()))
    {
        std::printf("    %s\n", line.c_str());
    }
}

// Plays the emulator's stream into the benchmark's window until the result is destroyed.
std::unique_ptr<velkor::LiveStream> startLive(velkor::DrawingThread& output,
                                              const std::string& base, const Stream& stream)
{
    velkor::HttpRequest device;
    device.url = base;
    device.totalTimeoutMs = 0;
    device.stallTimeoutMs = 5000;
    output.beginPlay();
    auto live =
        std::make_unique<velkor::LiveStream>(output, std::make_unique<QuietObserver>(), device);
    live->start(1, {*velkor::StreamFormats::fromProtocolName(stream.format), stream.width});
    return live;
}

Measured measure(velkor::DrawingThread& output, const std::string& base, const Stream& stream,
                 int seconds, bool compare)
{
    Measured measured;
    measured.stream = stream;
    auto live = startLive(output, base, stream);
    std::unique_ptr<Ffmpeg> ffmpeg;
    if (compare)
    {
        ffmpeg = std::make_unique<Ffmpeg>(ffmpegCommand(base, stream));
    }
    // Past the first keyframe and the decoders' set-up; ffmpeg first reads some five seconds of
    // stream time to learn the stream's parameters and then decodes what it read at once, so it
    // is given time to be through that.
    std::this_thread::sleep_for(std::chrono::seconds(compare ? 15 : 3));
    const velkor::LiveCounters::Snapshot before = output.counters()->snapshot();
    const double ourStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double theirStart = ffmpeg ? ffmpeg->cpuSeconds() : 0;
    const auto wallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    measured.counted = output.counters()->snapshot() - before;
    measured.ours = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - ourStart;
    measured.theirs = ffmpeg ? ffmpeg->cpuSeconds() - theirStart : 0;
    measured.wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    measured.ffmpegRan = ffmpeg && ffmpeg->running();
    printFigures(output);
    live->stop();
    return measured;
}

void report(const Measured& measured, bool compare, const std::string& base)
{
    const velkor::LiveCounters::Snapshot& counted = measured.counted;
    std::printf("%s %d for %.1f s (load average %.2f)\n", measured.stream.format.c_str(),
                measured.stream.width, measured.wall, LoadAverage());
    std::printf("  parts received %llu, handed to the drawing thread %llu, skipped %llu, "
                "undecodable %llu; not sent by the emulator %llu\n",
                static_cast<unsigned long long>(counted.parts),
                static_cast<unsigned long long>(counted.handedOver),
                static_cast<unsigned long long>(counted.skipped),
                static_cast<unsigned long long>(counted.undecodable),
                static_cast<unsigned long long>(counted.notSent));
    std::printf("  drawing thread: drawn %llu, replaced by a newer picture before drawing %llu\n",
                static_cast<unsigned long long>(counted.drawn),
                static_cast<unsigned long long>(counted.replaced));
    std::printf("  latency X-Timestamp to hand-over: p50 %zu ms, p99 %zu ms, max %zu ms\n",
                counted.latencyPercentile(0.5).value_or(0),
                counted.latencyPercentile(0.99).value_or(0),
                counted.latencyPercentile(1.0).value_or(0));
    std::printf("  library CPU %.1f %% of a core, %.3f ms per drawn frame\n",
                100 * measured.ours / measured.wall,
                counted.drawn > 0 ? 1000 * measured.ours / static_cast<double>(counted.drawn)
                                  : 0.0);
    if (compare)
    {
        std::string shown;
        for (const std::string& part : ffmpegCommand(base, measured.stream))
        {
            shown += (shown.empty() ? "" : " ") + part;
        }
        std::printf("  %s\n", shown.c_str());
        std::printf("  ffmpeg CPU %.1f %% of a core%s; library / ffmpeg = %.2f\n",
                    100 * measured.theirs / measured.wall,
                    measured.ffmpegRan ? "" : " (ffmpeg had ended early)",
                    measured.theirs > 0 ? measured.ours / measured.theirs : 0.0);
    }
}

double cpuShare(int seconds)
{
    const double start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto wallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return (CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - start) /
           std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
}

// ffprobe reads SECONDS at FPS of the same stream's packets (one encoding serves both readers)
// while the library's counters run. Its output is line-buffered, so the time of its first packet
// is seen; from then to its end, each side's frame rate and bitrate (ffprobe's first packet
// excluded: it opens the time), and what ffprobe says the stream is.
void compareWithFfprobe(velkor::DrawingThread& output, const std::string& base,
                        const Stream& stream, int seconds, int fps)
{
    const std::string file = "/tmp/velkor_live_bench_ffprobe_" + std::to_string(::getpid());
    std::remove(file.c_str());
    Ffmpeg ffprobe({"stdbuf", "-oL", "ffprobe", "-v", "error", "-f", rawFormatOf(stream.format),
                    "-read_intervals", "%+#" + std::to_string(seconds * fps), "-show_entries",
                    "packet=size:stream=codec_name,profile,width,height", "-of", "compact", "-i",
                    base + "/velkor/live?channel=1&width=" + std::to_string(stream.width) +
                        "&format=" + stream.format + "&framing=raw"},
                   file);
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::error_code noFile;
    while (std::filesystem::file_size(file, noFile) == 0 || noFile)
    {
        if (std::chrono::steady_clock::now() > patience || !ffprobe.running())
        {
            std::printf("  ffprobe gave no packet\n");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const velkor::LiveCounters::Snapshot before = output.counters()->snapshot();
    const auto start = std::chrono::steady_clock::now();
    if (!ffprobe.waitForEnd(std::chrono::seconds(3 * seconds + 30)))
    {
        std::printf("  ffprobe did not end\n");
        return;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const velkor::LiveCounters::Snapshot counted = output.counters()->snapshot() - before;
    std::ifstream lines(file);
    std::string line;
    std::string described;
    double packets = -1;
    double bytes = 0;
    while (std::getline(lines, line))
    {
        if (line.rfind("packet|size=", 0) == 0)
        {
            // The first one opens the time counted.
            bytes += packets < 0 ? 0 : std::stod(line.substr(12));
            packets += 1;
        }
        else if (line.rfind("stream|", 0) == 0)
        {
            described = line.substr(7);
        }
    }
    std::remove(file.c_str());
    // A device that hands a joining reader what it encoded ahead sends ffprobe faster than the
    // frame rate for a while; the bits per picture stay comparable.
    const double ourPictures = static_cast<double>(counted.parts);
    const double ourBits = static_cast<double>(counted.bytes) * 8;
    std::printf("  over the same %.1f s: library %.1f fps, %.0f kbit/s, %.1f kbit a picture; "
                "ffprobe %.1f fps, %.0f kbit/s, %.1f kbit a picture (%s)\n",
                wall, ourPictures / wall, ourBits / wall / 1000,
                ourPictures > 0 ? ourBits / ourPictures / 1000 : 0.0, packets / wall,
                bytes * 8 / wall / 1000, packets > 0 ? bytes * 8 / packets / 1000 : 0.0,
                described.c_str());
}

int benchStatistics(velkor::DrawingThread& output, const std::string& base, const Stream& stream,
                    int seconds, int rounds, int fps)
{
    auto live = startLive(output, base, stream);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    double hidden = 0;
    double shown = 0;
    for (int round = 0; round < 2 * rounds; ++round)
    {
        const bool show = round % 2 == 1;
        output.showStatistics(show);
        const double share = cpuShare(seconds);
        (show ? shown : hidden) += share / rounds;
        std::printf("  round %d, statistics %s: library CPU %.2f %% of a core (load average "
                    "%.2f)\n",
                    round + 1, show ? "shown " : "hidden", 100 * share, LoadAverage());
    }
    const double rise = hidden > 0 ? 100 * (shown - hidden) / hidden : 0;
    std::printf("%s %d: CPU with the statistics hidden %.2f %%, shown %.2f %% of a core: %+.1f %% "
                "(goal: at most +5 %%: %s)\n",
                stream.format.c_str(), stream.width, 100 * hidden, 100 * shown, rise,
                rise <= 5 ? "met" : "not met");
    output.showStatistics(true);
    compareWithFfprobe(output, base, stream, seconds, fps);
    printFigures(output);
    live->stop();
    return 0;
}

void summarise(const std::vector<Measured>& all)
{
    std::printf("\nCPU-seconds per second; goal: library <= %.1f x ffmpeg + %.3f\n", kGoalFactor,
                kGoalFloor);
    std::printf("%-6s %5s %8s %8s %8s  %s\n", "format", "width", "library", "ffmpeg", "goal", "");
    for (const Measured& measured : all)
    {
        const double ours = measured.ours / measured.wall;
        const double theirs = measured.theirs / measured.wall;
        const double goal = kGoalFactor * theirs + kGoalFloor;
        std::printf("%-6s %5d %8.4f %8.4f %8.4f  %s\n", measured.stream.format.c_str(),
                    measured.stream.width, ours, theirs, goal,
                    !measured.ffmpegRan ? "ffmpeg ended early"
                    : ours <= goal      ? "met"
                                        : "not met");
    }
}

} // namespace

int main(int argc, char** argv)
{
    const bool all = argc >= 2 && std::string(argv[1]) == "all";
    const bool statistics = argc >= 2 && std::string(argv[1]) == "statistics";
    // The statistics' arguments are those of one stream, one further on.
    const int shift = statistics ? 1 : 0;
    if (argc < (all ? 2 : 3 + shift))
    {
        std::fprintf(stderr,
                     "usage: %s FORMAT WIDTH [SECONDS=10] [FPS=25] [ffmpeg]\n"
                     "       %s all [SECONDS=10] [FPS=30]\n"
                     "       %s statistics FORMAT WIDTH [SECONDS=10] [ROUNDS=3] [FPS=25]\n",
                     argv[0], argv[0], argv[0]);
        return 2;
    }
    const int first = all ? 2 : 3 + shift;
    const int seconds = argc > first ? std::atoi(argv[first]) : 10;
    const int rounds = statistics && argc > first + 1 ? std::atoi(argv[first + 1]) : 3;
    const int fpsAt = first + 1 + shift;
    const int fps = argc > fpsAt ? std::atoi(argv[fpsAt]) : (all ? 30 : 25);
    const bool compare = all || (argc > 5 && std::string(argv[5]) == "ffmpeg");
    std::vector<Stream> streams;
    if (all)
    {
        streams = {{"jpeg", 640},  {"jpeg", 1920}, {"mpeg4", 640}, {"h264", 640},
                   {"h264", 1920}, {"h265", 640},  {"h265", 1920}};
    }
    else
    {
        streams = {{argv[1 + shift], std::atoi(argv[2 + shift])}};
    }
    for (const Stream& stream : streams)
    {
        if (!velkor::StreamFormats::fromProtocolName(stream.format) || stream.width <= 0 ||
            seconds <= 0 || fps <= 0 || rounds <= 0)
        {
            std::fprintf(stderr, "bad arguments\n");
            return 2;
        }
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
    std::printf("%d fps, load average %.2f at the start\n", fps, LoadAverage());
    if (statistics)
    {
        return benchStatistics(output, base, streams.front(), seconds, rounds, fps);
    }
    std::vector<Measured> results;
    for (const Stream& stream : streams)
    {
        results.push_back(measure(output, base, stream, seconds, compare));
        report(results.back(), compare, base);
    }
    if (compare)
    {
        summarise(results);
    }
    return 0;
}
