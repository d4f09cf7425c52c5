#include "velkor/draw/DrawingThread.h"

#include "velkor/draw/DrawingWatchdog.h"
#include "velkor/draw/NoSignalPicture.h"
#include "velkor/draw/StatisticsOverlay.h"
#include "velkor/draw/VideoOutput.h"
#include "velkor/report/ResultCode.h"

#include <pthread.h>

#include <csignal>
#include <exception>

namespace velkor
{

struct DrawingThread::State
{
    DrawingMailbox mailbox;
    LiveStatistics statistics;
    LiveCounters& counters = statistics.counters();
    // The thread's own; other threads only interrupt it.
    VideoOutput output;
    DrawingWatchdog watchdog{[this] { output.interrupt(); }};
    StatisticsOverlay overlay;
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
    m_state->overlay.beginPlay();
}

void DrawingThread::showStatistics(bool shown)
{
    m_state->overlay.show(shown);
}

void DrawingThread::endPlay()
{
    m_state->overlay.endPlay();
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
    // A write to an X connection that the server closed, or that the watchdog cut, raises
    // SIGPIPE in the writing thread, which would end the host unless it ignores the signal.
    // Blocked here, the write fails with EPIPE, which xcb takes for a lost connection.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
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
    return state.overlay.box(state.output.takeClicks(), state.statistics);
}

void DrawingThread::refresh(State& state)
{
    const bool shown = state.overlay.shown();
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
    const PictureSize size = NoSignalPicture::sizeFor(output.windowSize(), output.visibleArea());
    if (NoSignalPicture::render(picture, size, lost))
    {
        output.draw(picture, statisticsBox(state));
    }
}

} // namespace velkor
