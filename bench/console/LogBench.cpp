// The console's log path end to end: another thread posts WM_LOGTEXT lines with PostMessage to a
// shown CQuillonDlg (offscreen platform, recording library), whose window thread numbers each line
// and writes it into the log field, as the console does for every event.
//
//   burst    every line posted as fast as the poster can
//   trickle  one line at a time: the next is posted once the last one is in the field
//
// "logview" is the console as built; "literal" keeps the log as one string, rebuilt for every line
// and set as the field's whole text, and gives up after a minute. Each case runs in a child process
// of its own, so its resident-memory figures are its alone (VmRSS after the run, then after
// malloc_trim, and the peak, less the shown console's, per line).
//
//   cmake --build <build> --target console_log_bench   (needs QUILLON_BUILD_TESTS=ON)
//   <build>/bin/console_log_bench                               every case, one table
//   <build>/bin/console_log_bench --child <approach> <mode> N   one case, one RESULT line
#include "bench/support/ProcessClock.h"
#include "console/CQuillonDlg.h"
#include "framework/FormatText.h"
#include "framework/WindowRegistry.h"
#include "res/resource.h"

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr double kLiteralLimitSeconds = 60.0;
// The console writes two lines of its own when it starts.
constexpr int kStartLines = 2;

long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line))
    {
        if (line.compare(0, keyLength, key) == 0)
        {
            return std::stol(line.substr(keyLength));
        }
    }
    return 0;
}

// About 55 characters once the console has put "[%04d] " in front.
std::string lineText(int number)
{
    char text[64];
    std::snprintf(text, sizeof text, "12:%02d:%02d.%03d Alarm channel=%02d type=motion status=1",
                  number / 60000 % 60, number / 1000 % 60, number % 1000, number % 16 + 1);
    return text;
}

char* postedCopy(const std::string& text)
{
    auto* buffer = new char[text.size() + 1];
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

struct Progress
{
    int lines = 0; // posted lines in the log
    double seconds = 0;
    double guiCpuSeconds = 0;
    double ninetyPercentSeconds = 0;
    bool timedOut = false;
};

// The console, telling the bench how far the log has come after each posted line it handled.
class BenchConsole : public CQuillonDlg
{
public:
    BenchConsole(bool literal, int total, std::counting_semaphore<>& handled)
        : m_literal(literal), m_total(total), m_handled(handled)
    {
    }

    void start()
    {
        m_field = qobject_cast<QPlainTextEdit*>(GetDlgItem(IDC_LOG).widget());
        m_literalText = m_LogText.str();
        m_clock.start();
        m_guiCpuStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    }

    [[nodiscard]] const Progress& progress() const { return m_progress; }
    [[nodiscard]] QPlainTextEdit* field() const { return m_field; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_LOGTEXT)
        {
            return CQuillonDlg::WindowProc(message, wParam, lParam);
        }
        if (m_progress.timedOut || m_progress.lines == m_total)
        {
            delete[] reinterpret_cast<char*>(wParam);
            return 0;
        }
        if (m_literal)
        {
            addLiteral(reinterpret_cast<char*>(wParam));
        }
        else
        {
            CQuillonDlg::WindowProc(message, wParam, lParam);
        }
        m_progress.lines = m_LogCount - kStartLines;
        m_progress.seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
        if (m_progress.ninetyPercentSeconds == 0 && m_progress.lines >= m_total - m_total / 10)
        {
            m_progress.ninetyPercentSeconds = m_progress.seconds;
        }
        m_progress.timedOut = m_literal && m_progress.seconds > kLiteralLimitSeconds;
        if (m_progress.lines == m_total || m_progress.timedOut)
        {
            m_progress.guiCpuSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m_guiCpuStart;
            QCoreApplication::quit();
        }
        m_handled.release();
        return 0;
    }

private:
    void addLiteral(char* posted)
    {
        const std::unique_ptr<char[]> buffer(posted);
        ++m_LogCount;
        m_literalText.insert(0, FormatText("[%04d] %s\r\n", m_LogCount, buffer.get()));
        m_field->setPlainText(
            QString::fromUtf8(m_literalText.data(), static_cast<qsizetype>(m_literalText.size())));
    }

    bool m_literal;
    int m_total;
    std::counting_semaphore<>& m_handled;
    QPlainTextEdit* m_field = nullptr;
    std::string m_literalText;
    QElapsedTimer m_clock;
    double m_guiCpuStart = 0;
    Progress m_progress;
};

void settle()
{
    for (int i = 0; i < 20; ++i)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The newest line is on top, the console's first line at the bottom, and every line is there.
bool logComplete(const BenchConsole& console, int total)
{
    const QTextDocument* document = console.field()->document();
    const QString newest = QString::fromUtf8(
        FormatText("[%04d] %s", total + kStartLines, lineText(total).c_str()).c_str());
    const QString oldest = QStringLiteral("[0001] Quillon.exe finish initialization.");
    QTextBlock last = document->lastBlock();
    if (last.text().isEmpty())
    {
        last = last.previous();
    }
    const bool numbered =
        document->blockCount() - (document->lastBlock().text().isEmpty() ? 1 : 0) ==
        total + kStartLines;
    return numbered && document->firstBlock().text() == newest && last.text() == oldest;
}

int runChild(int argc, char** argv)
{
    const std::string approach = argv[2];
    const std::string mode = argv[3];
    const int total = std::atoi(argv[4]);
    const bool literal = approach == "literal";
    const bool trickle = mode == "trickle";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    std::counting_semaphore<> handled(0);
    BenchConsole console(literal, total, handled);
    if (!console.Create())
    {
        std::fprintf(stderr, "the console did not start\n");
        return 1;
    }
    console.show();
    settle();
    malloc_trim(0);
    const long baseKb = statusKb("VmRSS:");
    const long basePeakKb = statusKb("VmHWM:");
    const double loadBefore = LoadAverage();
    const double cpuBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);

    const HWND window = console.GetSafeHwnd();
    std::atomic<bool> stop = false;
    double posterCpu = 0;
    console.start();
    std::thread poster(
        [&]
        {
            for (int i = 1; i <= total && !stop.load(); ++i)
            {
                PostMessage(window, WM_LOGTEXT, reinterpret_cast<WPARAM>(postedCopy(lineText(i))),
                            0);
                if (trickle)
                {
                    handled.acquire();
                }
            }
            posterCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        });
    QApplication::exec();
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
    stop = true;
    handled.release(total + 1);
    poster.join();
    settle(); // the last repaint
    const double loadAfter = LoadAverage();

    const Progress& progress = console.progress();
    const long endKb = statusKb("VmRSS:");
    malloc_trim(0);
    const long trimmedKb = statusKb("VmRSS:");
    const long peakKb = statusKb("VmHWM:");
    const bool ok = !progress.timedOut && logComplete(console, total);

    const double lines = progress.lines;
    const double tailSeconds = progress.seconds - progress.ninetyPercentSeconds;
    const int ninetyPercent = total - total / 10;
    const double ninetyPercentLines = ninetyPercent;
    const double perLine = 1024.0 / lines;
    std::printf("RESULT %s %s %d lines=%d timeout=%d ok=%d wall=%.3f rate=%.0f tail=%.0f "
                "cpu=%.3f gui=%.3f poster=%.3f rss=%.0f trimmed=%.0f peak=%.0f load=%.2f/%.2f\n",
                approach.c_str(), mode.c_str(), total, progress.lines, progress.timedOut ? 1 : 0,
                ok ? 1 : 0, progress.seconds, lines / progress.seconds,
                tailSeconds > 0 ? (lines - ninetyPercentLines) / tailSeconds : 0.0, cpu,
                progress.guiCpuSeconds, posterCpu, static_cast<double>(endKb - baseKb) * perLine,
                static_cast<double>(trimmedKb - baseKb) * perLine,
                static_cast<double>(peakKb - std::max(baseKb, basePeakKb)) * perLine, loadBefore,
                loadAfter);
    std::fflush(stdout);
    // Tearing down a million-line document takes long and tells nothing.
    std::_Exit(0);
}

std::string runCase(const char* self, const char* approach, const char* mode, int lines)
{
    const std::string command = std::string(self) + " --child " + approach + " " + mode + " " +
                                std::to_string(lines) + " 2>/dev/null";
    std::string result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        return result;
    }
    char buffer[512] = {};
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
    {
        if (std::strncmp(buffer, "RESULT ", 7) == 0)
        {
            result = buffer;
        }
    }
    pclose(pipe);
    return result;
}

int runTable(const char* self)
{
    std::printf("%-8s %-8s %8s %8s %9s %9s %8s %8s %8s %7s %7s %7s %11s  %s\n", "approach", "mode",
                "lines", "wall s", "lines/s", "last10%/s", "cpu s", "gui cpu", "post cpu", "B/line",
                "B/l trm", "B/l pk", "load", "check");
    for (const char* approach : {"logview", "literal"})
    {
        for (const char* mode : {"burst", "trickle"})
        {
            bool gaveUp = false;
            for (int lines : {1000, 100000, 1000000})
            {
                if (gaveUp)
                {
                    std::printf("%-8s %-8s %8d   not run: a smaller size took over %.0f s\n",
                                approach, mode, lines, kLiteralLimitSeconds);
                    continue;
                }
                const std::string result = runCase(self, approach, mode, lines);
                char name[16], modeName[16];
                int size = 0, done = 0, timedOut = 0, ok = 0;
                double wall = 0, rate = 0, tail = 0, cpu = 0, gui = 0, poster = 0, rss = 0,
                       trimmed = 0, peak = 0, loadBefore = 0, loadAfter = 0;
                if (std::sscanf(result.c_str(),
                                "RESULT %15s %15s %d lines=%d timeout=%d ok=%d wall=%lf rate=%lf "
                                "tail=%lf cpu=%lf gui=%lf poster=%lf rss=%lf trimmed=%lf "
                                "peak=%lf load=%lf/%lf",
                                name, modeName, &size, &done, &timedOut, &ok, &wall, &rate, &tail,
                                &cpu, &gui, &poster, &rss, &trimmed, &peak, &loadBefore,
                                &loadAfter) != 17)
                {
                    std::printf("%-8s %-8s %8d   failed\n", approach, mode, lines);
                    continue;
                }
                if (timedOut != 0)
                {
                    std::printf("%-8s %-8s %8d   gave up: %d lines in %.0f s (%.0f lines/s, "
                                "cpu %.1f s, load %.2f/%.2f)\n",
                                approach, mode, lines, done, wall, rate, cpu, loadBefore,
                                loadAfter);
                    gaveUp = true;
                    continue;
                }
                std::printf("%-8s %-8s %8d %8.2f %9.0f %9.0f %8.2f %8.2f %8.2f %7.0f %7.0f %7.0f "
                            "%5.2f/%5.2f  %s\n",
                            approach, mode, lines, wall, rate, tail, cpu, gui, poster, rss, trimmed,
                            peak, loadBefore, loadAfter, ok != 0 ? "ok" : "WRONG LOG");
                std::fflush(stdout);
            }
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--child") == 0)
    {
        return runChild(argc, argv);
    }
    return runTable(argv[0]);
}
