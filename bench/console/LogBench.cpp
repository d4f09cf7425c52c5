// Log field throughput and memory through the window thread: another thread posts lines, the
// window thread receives them and puts them in a shown log field. Without arguments it runs every
// case in a child process of its own (so each resident-memory figure is that case's alone) and
// prints one table; `--child <approach> <mode> <lines>` runs one case.
#include "LogView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWidget>

#include <malloc.h>
#include <time.h>

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
constexpr double kTimeLimitSeconds = 60.0;
const QEvent::Type kLineEvent = static_cast<QEvent::Type>(QEvent::User + 1);

long statusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t keyLength = std::strlen(key);
    while (std::getline(status, line))
    {
        if (line.compare(0, keyLength, key) == 0)
        {
            return std::stol(line.substr(keyLength));
        }
    }
    return 0;
}

// What another thread hands the window: a heap buffer the receiver takes over.
class LineEvent : public QEvent
{
public:
    explicit LineEvent(std::unique_ptr<char[]> text) : QEvent(kLineEvent), m_text(std::move(text))
    {
    }
    [[nodiscard]] const char* text() const { return m_text.get(); }

private:
    std::unique_ptr<char[]> m_text;
};

std::unique_ptr<char[]> makeLine(int number)
{
    // About 55 characters once the receiver has put the line number in front.
    char text[64];
    std::snprintf(text, sizeof text, "12:%02d:%02d.%03d Alarm channel=%d type=motion status=1",
                  number / 60000 % 60, number / 1000 % 60, number % 1000, number % 16 + 1);
    auto buffer = std::make_unique<char[]>(std::strlen(text) + 1);
    std::strcpy(buffer.get(), text);
    return buffer;
}

std::string numbered(int number, const char* text)
{
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[%04d] ", number);
    return std::string(prefix) + text + "\r\n";
}

// The two ways to keep the field in step: insertions at the top, or the whole text rebuilt and
// set for every change.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual void add(const std::string& newestFirst) = 0;
};

class LogViewSink : public Sink
{
public:
    explicit LogViewSink(QPlainTextEdit* field) : m_view(field) {}
    void add(const std::string& newestFirst) override
    {
        m_view.markRead();
        m_view.insertTop(newestFirst);
    }

private:
    LogView m_view;
};

// The path alone, to show what the posting and receiving cost by themselves.
class NoSink : public Sink
{
public:
    void add(const std::string&) override {}
};

class LiteralSink : public Sink
{
public:
    explicit LiteralSink(QPlainTextEdit* field) : m_field(field) {}
    void add(const std::string& newestFirst) override
    {
        m_log.insert(0, newestFirst);
        m_field->setPlainText(
            QString::fromUtf8(m_log.data(), static_cast<qsizetype>(m_log.size())));
    }

private:
    QPlainTextEdit* m_field;
    std::string m_log;
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Progress
{
    double cpuSeconds = 0; // the window thread's
    int received = 0;
    double seconds = 0;
    int windowStart = 0; // lines received when the last tenth of the run began
    double windowStartSeconds = 0;
    bool timedOut = false;
};

// The window side: takes posted lines, numbers them and hands them to the sink, either each on
// its own (trickle) or everything already queued at once (burst).
class Receiver : public QObject
{
public:
    Receiver(Sink& sink, bool batch, bool lockstep, bool limited, int total,
             std::binary_semaphore& taken)
        : m_sink(sink), m_batch(batch), m_lockstep(lockstep), m_limited(limited), m_total(total),
          m_taken(taken)
    {
        m_clock.start();
        m_cpuStart = threadCpuSeconds();
    }

    bool event(QEvent* event) override
    {
        if (event->type() != kLineEvent)
        {
            return QObject::event(event);
        }
        const char* text = static_cast<LineEvent*>(event)->text();
        if (m_collecting)
        {
            m_queued.emplace_back(text);
            return true;
        }
        if (m_progress.timedOut || m_progress.received == m_total)
        {
            return true;
        }
        m_queued.clear();
        m_queued.emplace_back(text);
        if (m_batch)
        {
            m_collecting = true;
            QCoreApplication::sendPostedEvents(this, kLineEvent);
            m_collecting = false;
        }
        std::string lines;
        for (auto it = m_queued.rbegin(); it != m_queued.rend(); ++it)
        {
            const int number = m_progress.received + static_cast<int>(m_queued.rend() - it);
            lines += numbered(number, it->c_str());
        }
        const qint64 before = m_clock.nsecsElapsed();
        m_sink.add(lines);
        const qint64 took = m_clock.nsecsElapsed() - before;
        if (took > 20000000 && qEnvironmentVariableIsSet("LOGBENCH_TRACE"))
        {
            std::fprintf(stderr, "SLOW %d lines=%zu %.1f ms\n", m_progress.received,
                         m_queued.size(), static_cast<double>(took) / 1e6);
        }
        m_progress.received += static_cast<int>(m_queued.size());
        m_progress.seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
        m_progress.cpuSeconds = threadCpuSeconds() - m_cpuStart;
        while (m_nextTenth <= 10 && m_progress.received >= m_total / 10 * m_nextTenth)
        {
            std::fprintf(stderr, "TENTH %d %d %.3f\n", m_nextTenth, m_progress.received,
                         m_progress.seconds);
            ++m_nextTenth;
        }
        if (m_progress.windowStart == 0 && m_progress.received >= m_total - m_total / 10)
        {
            m_progress.windowStart = m_progress.received;
            m_progress.windowStartSeconds = m_progress.seconds;
        }
        if (m_limited && m_progress.seconds > kTimeLimitSeconds)
        {
            m_progress.timedOut = true;
        }
        if (m_lockstep)
        {
            m_taken.release();
        }
        if (m_progress.received >= m_total || m_progress.timedOut)
        {
            QCoreApplication::quit();
        }
        return true;
    }

    [[nodiscard]] const Progress& progress() const { return m_progress; }

private:
    Sink& m_sink;
    bool m_batch;
    bool m_lockstep;
    bool m_limited;
    int m_total;
    std::binary_semaphore& m_taken;
    QElapsedTimer m_clock;
    double m_cpuStart = 0;
    bool m_collecting = false;
    int m_nextTenth = 1;
    std::vector<std::string> m_queued;
    Progress m_progress;
};

int runChild(int argc, char** argv)
{
    const std::string approach = argv[2];
    const std::string mode = argv[3];
    const int total = std::atoi(argv[4]);
    const bool batch = mode == "burst";
    // A trickle is one insertion per line; in lockstep the next line is posted only once the
    // previous one is in the field, so the window thread goes back to its event loop between lines.
    const bool lockstep = mode == "lockstep";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* field = new QPlainTextEdit(&window);
    field->setLineWrapMode(QPlainTextEdit::NoWrap);
    field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(field);
    window.resize(900, 600);
    window.show();
    field->setFocus();
    for (int i = 0; i < 20; ++i)
    {
        QCoreApplication::processEvents();
    }

    std::unique_ptr<Sink> sink;
    if (approach == "literal")
    {
        sink = std::make_unique<LiteralSink>(field);
    }
    else if (approach == "none")
    {
        sink = std::make_unique<NoSink>();
    }
    else
    {
        sink = std::make_unique<LogViewSink>(field);
    }
    malloc_trim(0);
    const long baseKb = statusKb("VmRSS:");
    const long basePeakKb = statusKb("VmHWM:");

    std::binary_semaphore taken(0);
    std::atomic<bool> stop = false;
    Receiver receiver(*sink, batch, lockstep, approach == "literal", total, taken);
    std::thread poster(
        [&]
        {
            for (int i = 1; i <= total && !stop; ++i)
            {
                QCoreApplication::postEvent(&receiver, new LineEvent(makeLine(i)));
                if (lockstep)
                {
                    taken.acquire();
                }
            }
        });
    QApplication::exec();
    stop = true;
    taken.release();
    poster.join();
    QCoreApplication::removePostedEvents(&receiver);
    for (int i = 0; i < 50; ++i)
    {
        QCoreApplication::processEvents();
    }

    const Progress& progress = receiver.progress();
    const long endKb = statusKb("VmRSS:");
    malloc_trim(0);
    const long trimmedKb = statusKb("VmRSS:");
    const long peakKb = statusKb("VmHWM:");

    const QTextDocument* document = field->document();
    std::string newest = numbered(total, makeLine(total).get());
    newest.resize(newest.size() - 2);
    const bool ok = !progress.timedOut && document->blockCount() == total + 1 &&
                    document->firstBlock().text().toStdString() == newest &&
                    document->findBlockByNumber(total - 1).text().startsWith(u"[0001] ");
    const double lines = progress.received;
    const double windowLines = lines - progress.windowStart;
    const double windowSeconds = progress.seconds - progress.windowStartSeconds;
    std::printf(
        "RESULT %s %s %d received=%d timeout=%d ok=%d rate=%.0f last=%.0f cpu=%.0f rss=%.0f "
        "trimmed=%.0f peak=%.0f\n",
        approach.c_str(), mode.c_str(), total, progress.received, progress.timedOut ? 1 : 0,
        ok ? 1 : 0, lines / progress.seconds, windowSeconds > 0 ? windowLines / windowSeconds : 0.0,
        lines / progress.cpuSeconds, static_cast<double>(endKb - baseKb) * 1024.0 / lines,
        static_cast<double>(trimmedKb - baseKb) * 1024.0 / lines,
        static_cast<double>(peakKb - std::max(baseKb, basePeakKb)) * 1024.0 / lines);
    return 0;
}

struct Row
{
    std::string approach;
    std::string mode;
    int lines = 0;
    std::string result;
};

int runTable(const char* self)
{
    const std::vector<int> sizes = {1000, 100000, 1000000};
    std::printf("%-8s %-8s %9s %10s %10s %10s %8s %8s %8s  %s\n", "approach", "mode", "lines",
                "lines/s", "last10%/s", "cpu l/s", "B/line", "B/l trim", "B/l peak", "check");
    for (const char* approach : {"none", "logview", "literal"})
    {
        for (const char* mode : {"burst", "trickle", "lockstep"})
        {
            bool gaveUp = false;
            for (int lines : sizes)
            {
                if (gaveUp)
                {
                    std::printf("%-8s %-8s %9d   not run: the smaller size took over %.0f s\n",
                                approach, mode, lines, kTimeLimitSeconds);
                    continue;
                }
                const std::string command = std::string(self) + " --child " + approach + " " +
                                            mode + " " + std::to_string(lines) + " 2>/dev/null";
                FILE* pipe = popen(command.c_str(), "r");
                char buffer[512] = {};
                std::string result;
                while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
                {
                    if (std::strncmp(buffer, "RESULT ", 7) == 0)
                    {
                        result = buffer;
                    }
                }
                if (pipe != nullptr)
                {
                    pclose(pipe);
                }
                char name[16], modeName[16];
                int size = 0, received = 0, timedOut = 0, ok = 0;
                double rate = 0, last = 0, cpu = 0, rss = 0, trimmed = 0, peak = 0;
                if (std::sscanf(result.c_str(),
                                "RESULT %15s %15s %d received=%d timeout=%d ok=%d rate=%lf "
                                "last=%lf cpu=%lf rss=%lf trimmed=%lf peak=%lf",
                                name, modeName, &size, &received, &timedOut, &ok, &rate, &last,
                                &cpu, &rss, &trimmed, &peak) != 12)
                {
                    std::printf("%-8s %-8s %9d   failed\n", approach, mode, lines);
                    continue;
                }
                if (timedOut != 0)
                {
                    std::printf(
                        "%-8s %-8s %9d   did not finish: %d lines in %.0f s (%.0f lines/s)\n",
                        approach, mode, lines, received, kTimeLimitSeconds, rate);
                    gaveUp = true;
                    continue;
                }
                std::printf("%-8s %-8s %9d %10.0f %10s %10.0f %8.0f %8.0f %8.0f  %s\n", approach,
                            mode, lines, rate,
                            last > 0 ? std::to_string(static_cast<long>(last)).c_str() : "-", cpu,
                            rss, trimmed, peak,
                            std::strcmp(approach, "none") == 0 ? "-"
                            : ok != 0                          ? "ok"
                                                               : "WRONG TEXT");
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
