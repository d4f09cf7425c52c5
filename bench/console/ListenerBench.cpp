// The console's listener under load: 1, 2 and 8 threads call CAppListener::OnDevStatus as fast as
// they can, each post going to a shown CQuillonDlg (offscreen platform, recording library), and the
// table gives posts per second and the cost of one post, wall and CPU time, with the slowest
// posts. The window's thread is either idle, so it takes the lines into the log while the threads
// post, or busy in a handler of its own for the whole run, so nothing is taken. With an idle window
// the run goes on until every line is in the log, which is then read back: all lines there,
// numbered in turn, each thread's lines in the order it posted them.
//
//   cmake --build <build> --target listener_bench   (needs QUILLON_BUILD_TESTS=ON)
//   <build>/bin/listener_bench [posts per thread, default 100000]
#include "bench/support/ProcessClock.h"
#include "console/CAppListener.h"
#include "console/CQuillonDlg.h"

#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace
{
constexpr int kStartLines = 2;

int64_t nowNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The console, noting when the log holds every line the run posts.
class BenchConsole : public CQuillonDlg
{
public:
    explicit BenchConsole(int expected) : m_expected(expected) {}

    void start(QEventLoop* loop)
    {
        m_loop = loop;
        m_clock.start();
    }
    [[nodiscard]] double completeSeconds() const { return m_completeSeconds; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = CQuillonDlg::WindowProc(message, wParam, lParam);
        if (message == WM_LOGTEXT && m_LogCount == m_expected && m_loop != nullptr)
        {
            m_completeSeconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
            m_loop->quit();
        }
        return result;
    }

private:
    int m_expected;
    QEventLoop* m_loop = nullptr;
    QElapsedTimer m_clock;
    double m_completeSeconds = 0;
};

struct PosterFigures
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    int64_t endNanoseconds = 0;
    std::vector<int32_t> postNanoseconds;
};

// Every line numbered in turn from the console's first, and each thread's events in the order it
// raised them (the log is newest first, so read from the bottom).
bool logInOrder(const std::string& log, int threads, int count)
{
    std::vector<std::string_view> lines;
    std::string_view rest(log);
    for (std::size_t end = rest.find("\r\n"); end != std::string_view::npos;
         end = rest.find("\r\n"))
    {
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + 2);
    }
    if (!rest.empty() ||
        lines.size() !=
            static_cast<std::size_t>(threads) * static_cast<std::size_t>(count) + kStartLines)
    {
        return false;
    }
    std::vector<int> next(static_cast<std::size_t>(threads), 0);
    int number = 0;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    {
        const std::string line(*it);
        int lineNumber = 0, channel = 0, status = 0;
        if (std::sscanf(line.c_str(), "[%d]", &lineNumber) != 1 || lineNumber != ++number)
        {
            return false;
        }
        if (number <= kStartLines)
        {
            continue;
        }
        if (std::sscanf(line.c_str(), "[%*d] ** Event ** OnDevStatus(channel=%d, status=%d)",
                        &channel, &status) != 2 ||
            channel < 0 || channel >= threads ||
            status != next[static_cast<std::size_t>(channel)]++)
        {
            return false;
        }
    }
    return std::all_of(next.begin(), next.end(), [count](int done) { return done == count; });
}

struct CaseResult
{
    double postSeconds = 0; // first post to last
    double perPostWallMicros = 0;
    double perPostCpuMicros = 0;
    double p50Micros = 0;
    double p99Micros = 0;
    double p999Micros = 0;
    double maxMicros = 0;
    // The window thread's: while the threads post (busy), or until all is in the log (idle).
    double guiCpu = 0;
    double processCpu = 0;
    double completeSeconds = 0;
    double loadBefore = 0;
    double loadAfter = 0;
    std::string check;
};

CaseResult runCase(bool busy, int threads, int count)
{
    CaseResult result;
    const int expected = threads * count + kStartLines;
    BenchConsole console(expected);
    if (!console.Create())
    {
        result.check = std::string("no console");
        return result;
    }
    console.show();
    for (int i = 0; i < 20; ++i)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    CAppListener& listener = console.m_Listener;

    std::vector<PosterFigures> figures(static_cast<std::size_t>(threads));
    std::atomic<int> ready = 0;
    std::atomic<bool> go = false;
    std::atomic<int> finished = 0;
    std::vector<std::thread> posters;
    posters.reserve(static_cast<std::size_t>(threads));
    for (int thread = 0; thread < threads; ++thread)
    {
        posters.emplace_back(
            [&, thread]
            {
                PosterFigures& mine = figures[static_cast<std::size_t>(thread)];
                mine.postNanoseconds.resize(static_cast<std::size_t>(count));
                ++ready;
                while (!go.load())
                {
                    std::this_thread::yield();
                }
                const double cpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
                const int64_t start = nowNanoseconds();
                int64_t before = start;
                for (int index = 0; index < count; ++index)
                {
                    listener.OnDevStatus(thread, index);
                    const int64_t after = nowNanoseconds();
                    mine.postNanoseconds[static_cast<std::size_t>(index)] =
                        static_cast<int32_t>(std::min<int64_t>(after - before, INT32_MAX));
                    before = after;
                }
                mine.endNanoseconds = before;
                mine.wallSeconds = static_cast<double>(before - start) / 1e9;
                mine.cpuSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
                ++finished;
            });
    }
    while (ready.load() < threads)
    {
        std::this_thread::yield();
    }

    QEventLoop loop;
    console.start(&loop);
    result.loadBefore = LoadAverage();
    const double processCpuStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double guiCpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const int64_t start = nowNanoseconds();
    go = true;
    if (busy)
    {
        // A handler that keeps the window's thread for as long as the threads post.
        while (finished.load() < threads)
        {
        }
        result.guiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiCpuStart;
    }
    else
    {
        loop.exec();
        result.completeSeconds = console.completeSeconds();
        result.guiCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - guiCpuStart;
    }
    result.processCpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;
    result.loadAfter = LoadAverage();
    for (std::thread& poster : posters)
    {
        poster.join();
    }

    std::vector<int32_t> all;
    double wall = 0, cpu = 0;
    for (PosterFigures& poster : figures)
    {
        result.postSeconds =
            std::max(result.postSeconds, static_cast<double>(poster.endNanoseconds - start) / 1e9);
        wall += poster.wallSeconds;
        cpu += poster.cpuSeconds;
        all.insert(all.end(), poster.postNanoseconds.begin(), poster.postNanoseconds.end());
    }
    std::sort(all.begin(), all.end());
    const auto at = [&all](double fraction)
    { return all[static_cast<std::size_t>(fraction * static_cast<double>(all.size() - 1))] / 1e3; };
    const double posts = static_cast<double>(threads) * count;
    result.perPostWallMicros = wall / posts * 1e6;
    result.perPostCpuMicros = cpu / posts * 1e6;
    result.p50Micros = at(0.5);
    result.p99Micros = at(0.99);
    result.p999Micros = at(0.999);
    result.maxMicros = all.back() / 1e3;

    if (busy)
    {
        result.check = std::string("-");
    }
    else if (console.m_LogCount != expected)
    {
        result.check = "INCOMPLETE " + std::to_string(console.m_LogCount);
    }
    else
    {
        result.check = logInOrder(console.m_LogText.str(), threads, count) ? "ok" : "OUT OF ORDER";
    }
    // What a busy window never took is freed with the window.
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::printf("%d posts per thread; us/post = thread time / posts, p50..max = one post's wall "
                "time\n",
                count);
    std::printf("%-6s %3s %7s %9s %8s %8s %6s %6s %7s %8s %8s %8s %9s %11s  %s\n", "window", "thr",
                "post s", "posts/s", "us wall", "us cpu", "p50", "p99", "p99.9", "max us",
                "gui cpu", "proc cpu", "in log/s", "load", "check");
    for (const bool busy : {false, true})
    {
        for (const int threads : {1, 2, 8})
        {
            const CaseResult r = runCase(busy, threads, count);
            const double posts = static_cast<double>(threads) * count;
            std::printf("%-6s %3d %7.3f %9.0f %8.2f %8.2f %6.2f %6.2f %7.1f %8.0f %8.2f %8.2f "
                        "%9s %5.2f/%5.2f  %s\n",
                        busy ? "busy" : "idle", threads, r.postSeconds, posts / r.postSeconds,
                        r.perPostWallMicros, r.perPostCpuMicros, r.p50Micros, r.p99Micros,
                        r.p999Micros, r.maxMicros, r.guiCpu, r.processCpu,
                        r.completeSeconds > 0
                            ? std::to_string(static_cast<long>(posts / r.completeSeconds)).c_str()
                            : "-",
                        r.loadBefore, r.loadAfter, r.check.c_str());
            std::fflush(stdout);
        }
    }
    return 0;
}
