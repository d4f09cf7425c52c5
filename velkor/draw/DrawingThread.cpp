#include "velkor/draw/DrawingThread.h"

#include "velkor/draw/DrawingWatchdog.h"
#include "velkor/draw/NoSignalPicture.h"
#include "velkor/draw/StatisticsBox.h"
#include "velkor/draw/StatisticsText.h"
#include "velkor/draw/VideoOutput.h"
#include "velkor/report/ResultCode.h"

#include <algorithm>
#include <atomic>
#include <exception>

namespace velkor
{
namespace
{

constexpr auto kStatisticsRefresh = std::chrono::seconds(1);

// The statistics box's state in one word, so that a click's toggle, made on the drawing thread,
// cannot land on a play that began after the click was read: the play's number changes with
// each start and end, and the toggle is a compare-and-swap against the word it read.
constexpr std::uint64_t kBoxShown = 1;
constexpr std::uint64_t kPlaying = 2;
constexpr std::uint64_t kPlayStep = 4;

// A new play's number, `playing` or not, hidden.
void startBoxState(std::atomic<std::uint64_t>& box, bool playing)
{
    std::uint64_t seen = box.load();
    while (!box.compare_exchange_weak(seen, (seen & ~(kPlayStep - 1)) + kPlayStep +
                                                (playing ? kPlaying : 0)))
    {
    }
}

} // namespace

struct DrawingThread::State
{
    DrawingMailbox mailbox;
    LiveStatistics statistics;
    LiveCounters& counters = statistics.counters();
    // The thread's own; other threads only interrupt it.
    VideoOutput output;
    DrawingWatchdog watchdog{[this] { output.interrupt(); }};
    // Set by callers; toggled by the thread on a click while playing. kBoxShown, kPlaying and
    // the play's number.
    std::atomic<std::uint64_t> boxState{0};
    // The thread's own.
    StatisticsBox box;
    bool boxRendered = false;
    std::chrono::steady_clock::time_point nextBoxRender{};
};

DrawingThread::DrawingThread() : m_state(std::make_shared<State>()) {}

DrawingThread::~DrawingThread()
{
    shutdown();
}

int32_t DrawingThread::setWindow(std::uintptr_t window)
{
    ensureRunning();
    const std::uint64_t request = m_state->mailbox.askWindow(window);
    if (!m_state->watchdog.patient() ||
        !answered(m_state->mailbox.awaitWindow(request, kAnswerTime)))
    {
        return Ok;
    }
    return m_state->mailbox.windowVerdict(request);
}

void DrawingThread::clear()
{
    {
        std::lock_guard lock(m_lifeMutex);
        if (!m_started)
        {
            return;
        }
    }
    const std::uint64_t request = m_state->mailbox.askClear();
    if (m_state->watchdog.patient())
    {
        answered(m_state->mailbox.awaitClear(request, kAnswerTime));
    }
}

bool DrawingThread::present(Frame& picture)
{
    bool replaced = false;
    if (!m_state->mailbox.post(picture, replaced))
    {
        return false;
    }
    if (replaced)
    {
        m_state->counters.countReplaced();
    }
    // The picture it replaced goes here, outside the mailbox's lock.
    picture.reset();
    return true;
}

PictureSize DrawingThread::drawnSize() const
{
    return m_state->output.drawnSize();
}

LiveCounters* DrawingThread::counters()
{
    return &m_state->counters;
}

LiveStatistics* DrawingThread::statistics()
{
    return &m_state->statistics;
}

void DrawingThread::beginPlay()
{
    m_state->statistics.beginPlay();
    startBoxState(m_state->boxState, true);
}

void DrawingThread::showStatistics(bool shown)
{
    if (shown)
    {
        m_state->boxState.fetch_or(kBoxShown);
    }
    else
    {
        m_state->boxState.fetch_and(~kBoxShown);
    }
}

void DrawingThread::endPlay()
{
    startBoxState(m_state->boxState, false);
}

void DrawingThread::showNoSignal()
{
    m_state->mailbox.showNoSignal();
}

void DrawingThread::endNoSignal()
{
    m_state->mailbox.endNoSignal();
}

void DrawingThread::shutdown()
{
    std::lock_guard lock(m_lifeMutex);
    if (!m_state->mailbox.close())
    {
        return;
    }
    m_state->output.interrupt();
    if (m_state->mailbox.awaitExit(kAnswerTime))
    {
        m_thread.join();
    }
    else
    {
        m_thread.detach();
    }
}

void DrawingThread::ensureRunning()
{
    std::lock_guard lock(m_lifeMutex);
    if (m_started)
    {
        return;
    }
    m_thread = std::thread([state = m_state] { run(state); });
    m_started = true;
    m_state->mailbox.open();
}

bool DrawingThread::answered(DrawingMailbox::Answer answer)
{
    if (answer == DrawingMailbox::Answer::TimedOut)
    {
        m_state->watchdog.gaveUp();
    }
    return answer == DrawingMailbox::Answer::Given;
}

void DrawingThread::run(const std::shared_ptr<State>& state)
{
    Frame picture;
    Frame noSignal;
    while (true)
    {
        try
        {
            // Events xcb has read already would not wake the thread from the socket.
            refresh(*state);
            if (!perform(*state, state->mailbox.next(picture, state->output.eventSocket()), picture,
                         noSignal))
            {
                break;
            }
            state->watchdog.heard();
        }
        catch (const std::exception&)
        {
            // Out of memory for a picture: it is lost and every request counts as answered, so
            // no caller waits for it; the next picture may fare better.
            state->mailbox.answerAll(InternalFailure);
        }
    }
    state->mailbox.exited();
}

} // namespace velkor

namespace velkor
{

bool DrawingThread::perform(State& state, const DrawingMailbox::Job& job, Frame& picture,
                            Frame& noSignal)
{
    using Kind = DrawingMailbox::Job::Kind;
    switch (job.kind)
    {
    case Kind::Window:
        state.mailbox.answerWindow(job.request, state.output.setWindow(job.window));
        break;
    case Kind::Clear:
        state.output.clear();
        state.mailbox.answerClear(job.request);
        break;
    case Kind::Picture:
        if (state.output.draw(picture, statisticsBox(state)) && !picture.placeholder())
        {
            state.counters.countDrawn(picture.capturedAt());
        }
        state.statistics.tick();
        // The output keeps a reference of its own while the picture shows.
        picture.reset();
        break;
    case Kind::NoSignal:
        drawNoSignal(state, noSignal, job.lost);
        break;
    case Kind::Events:
        refresh(state);
        break;
    case Kind::Stop:
        return false;
    }
    return true;
}

const StatisticsBox* DrawingThread::statisticsBox(State& state)
{
    // Clicks come while the thread draws; an even number of them changes nothing.
    std::uint64_t seen = state.boxState.load();
    if (state.output.takeClicks() % 2 != 0 && (seen & kPlaying) != 0 &&
        state.boxState.compare_exchange_strong(seen, seen ^ kBoxShown))
    {
        seen ^= kBoxShown;
    }
    if ((seen & kBoxShown) == 0)
    {
        if (state.boxRendered)
        {
            state.box.forget();
            state.boxRendered = false;
        }
        return nullptr;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!state.boxRendered || now >= state.nextBoxRender)
    {
        state.boxRendered = state.box.render(StatisticsText::lines(state.statistics.figures()));
        state.nextBoxRender = now + kStatisticsRefresh;
    }
    return state.boxRendered ? &state.box : nullptr;
}

void DrawingThread::refresh(State& state)
{
    const bool shown = (state.boxState.load() & kBoxShown) != 0;
    const StatisticsBox* box = statisticsBox(state);
    if (state.output.takeExposed() || (box != nullptr) != shown)
    {
        state.output.redraw(box);
    }
}

void DrawingThread::drawNoSignal(State& state, Frame& picture, std::chrono::seconds lost)
{
    VideoOutput& output = state.output;
    if (!output.measure())
    {
        return;
    }
    // At the window's size, but no larger than the part of it that shows, so that a huge window
    // costs no more than the screen.
    const PictureSize window = output.windowSize();
    const PictureArea visible = output.visibleArea();
    const double shrink =
        std::min(1.0, std::max(static_cast<double>(visible.width) / window.width,
                               static_cast<double>(visible.height) / window.height));
    const PictureSize size{std::max(1, static_cast<int>(window.width * shrink)),
                           std::max(1, static_cast<int>(window.height * shrink))};
    if (NoSignalPicture::render(picture, size, lost))
    {
        output.draw(picture, statisticsBox(state));
    }
}

} // namespace velkor
