#include "velkor/DrawingThread.h"

#include "velkor/NoSignalPicture.h"
#include "velkor/PictureCopy.h"
#include "velkor/ResultCode.h"

#include <exception>
#include <utility>

namespace velkor
{
namespace
{

using Clock = std::chrono::steady_clock;

// The size of the no-signal picture before the window has told its own.
constexpr int kFallbackWidth = 640;
constexpr int kFallbackHeight = 480;

// The no-signal picture's B, G, R, X pixels as the one plane of a packed image.
PlanarImage asImage(const Frame& frame)
{
    PlanarImage image;
    image.format = AV_PIX_FMT_BGR0;
    image.width = frame.width;
    image.height = frame.height;
    image.planes[0] = frame.pixels.data();
    image.strides[0] = frame.width * 4;
    image.fullRange = true;
    return image;
}

} // namespace

struct DrawingThread::State
{
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable answered;
    bool started = false;
    bool stopping = false;
    bool exited = false;
    // Set when a caller stopped waiting for the thread, until the thread is heard from again:
    // later callers do not wait for a thread that a stalled server holds.
    bool unresponsive = false;

    std::uintptr_t window = 0;
    std::uint64_t windowRequest = 0;
    std::uint64_t windowAnswered = 0;
    int32_t windowVerdict = Ok;
    std::uint64_t clearRequest = 0;
    std::uint64_t clearAnswered = 0;
    PictureCopy pending;
    bool hasPending = false;
    std::uint64_t drawn = 0;
    std::uint64_t replaced = 0;
    std::optional<Clock::time_point> noSignalSince;
    Clock::time_point noSignalDue;

    // The thread's own; other threads only interrupt it.
    VideoOutput output;
};

DrawingThread::DrawingThread() : m_state(std::make_shared<State>()) {}

DrawingThread::~DrawingThread()
{
    shutdown();
}

int32_t DrawingThread::setWindow(std::uintptr_t window)
{
    std::unique_lock lock(m_state->mutex);
    ensureRunningLocked();
    m_state->window = window;
    const std::uint64_t request = ++m_state->windowRequest;
    m_state->wake.notify_all();
    if (!awaitAnswer(lock, m_state->windowAnswered, request))
    {
        return Ok;
    }
    return m_state->windowAnswered == request ? m_state->windowVerdict : Ok;
}

void DrawingThread::clear()
{
    std::unique_lock lock(m_state->mutex);
    if (!m_state->started)
    {
        return;
    }
    const std::uint64_t request = ++m_state->clearRequest;
    m_state->hasPending = false;
    m_state->noSignalSince.reset();
    m_state->wake.notify_all();
    awaitAnswer(lock, m_state->clearAnswered, request);
}

bool DrawingThread::present(const PlanarImage& image)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->started)
        {
            return false;
        }
        if (m_state->hasPending)
        {
            ++m_state->replaced;
        }
        m_state->hasPending = m_state->pending.assign(image);
        if (!m_state->hasPending)
        {
            return false;
        }
        m_state->noSignalSince.reset();
    }
    m_state->wake.notify_all();
    return true;
}

std::uint64_t DrawingThread::drawnCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->drawn;
}

std::uint64_t DrawingThread::replacedCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->replaced;
}

PictureSize DrawingThread::drawnSize() const
{
    return m_state->output.drawnSize();
}

void DrawingThread::showNoSignal()
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->started)
        {
            return;
        }
        m_state->noSignalSince = Clock::now();
        m_state->noSignalDue = *m_state->noSignalSince;
    }
    m_state->wake.notify_all();
}

void DrawingThread::endNoSignal()
{
    std::lock_guard lock(m_state->mutex);
    m_state->noSignalSince.reset();
}

void DrawingThread::shutdown()
{
    std::unique_lock lock(m_state->mutex);
    if (!m_state->started || m_state->stopping)
    {
        return;
    }
    m_state->stopping = true;
    m_state->wake.notify_all();
    m_state->output.interrupt();
    if (m_state->answered.wait_for(lock, kAnswerTime, [this] { return m_state->exited; }))
    {
        lock.unlock();
        m_thread.join();
    }
    else
    {
        lock.unlock();
        m_thread.detach();
    }
}

void DrawingThread::ensureRunningLocked()
{
    if (m_state->started)
    {
        return;
    }
    m_thread = std::thread([state = m_state] { run(state); });
    m_state->started = true;
}

bool DrawingThread::awaitAnswer(std::unique_lock<std::mutex>& lock, const std::uint64_t& answered,
                                std::uint64_t request)
{
    if (m_state->unresponsive)
    {
        return false;
    }
    if (m_state->answered.wait_for(lock, kAnswerTime,
                                   [&] { return answered >= request || m_state->exited; }))
    {
        return answered >= request;
    }
    // The server counts as unreachable; cutting its connection frees the thread if it is stuck
    // writing to it.
    m_state->unresponsive = true;
    m_state->output.interrupt();
    return false;
}

void DrawingThread::run(const std::shared_ptr<State>& state)
{
    PictureCopy drawing;
    Frame noSignal;
    std::uint64_t windowHandled = 0;
    VideoOutput& output = state->output;
    std::unique_lock lock(state->mutex);
    while (!state->stopping)
    {
        try
        {
            const auto heard = [&state]
            {
                state->unresponsive = false;
                state->answered.notify_all();
            };
            if (state->windowRequest != windowHandled)
            {
                const std::uint64_t request = state->windowRequest;
                const std::uintptr_t window = state->window;
                lock.unlock();
                const int32_t verdict = output.setWindow(window);
                lock.lock();
                windowHandled = request;
                state->windowVerdict = verdict;
                state->windowAnswered = request;
                heard();
            }
            else if (state->clearRequest != state->clearAnswered)
            {
                const std::uint64_t request = state->clearRequest;
                lock.unlock();
                output.clear();
                lock.lock();
                state->clearAnswered = request;
                heard();
            }
            else if (state->hasPending)
            {
                drawing.swap(state->pending);
                state->hasPending = false;
                lock.unlock();
                output.present(drawing.image());
                lock.lock();
                ++state->drawn;
                heard();
            }
            else if (state->noSignalSince && Clock::now() >= state->noSignalDue)
            {
                const auto lost =
                    std::chrono::floor<std::chrono::seconds>(Clock::now() - *state->noSignalSince);
                state->noSignalDue = *state->noSignalSince + lost + std::chrono::seconds(1);
                lock.unlock();
                if (output.hasWindow())
                {
                    const bool sized = output.windowWidth() > 0 && output.windowHeight() > 0;
                    NoSignalPicture::render(noSignal, sized ? output.windowWidth() : kFallbackWidth,
                                            sized ? output.windowHeight() : kFallbackHeight, lost);
                    output.present(asImage(noSignal));
                }
                lock.lock();
                heard();
            }
            else
            {
                const auto work = [&state, &windowHandled]
                {
                    return state->stopping || state->windowRequest != windowHandled ||
                           state->clearRequest != state->clearAnswered || state->hasPending ||
                           (state->noSignalSince && Clock::now() >= state->noSignalDue);
                };
                if (state->noSignalSince)
                {
                    state->wake.wait_until(lock, state->noSignalDue, work);
                }
                else
                {
                    state->wake.wait(lock, work);
                }
            }
        }
        catch (const std::exception&)
        {
            // Out of memory for a picture: it is lost and every request counts as answered, so
            // no caller waits for it; the next picture may fare better.
            if (!lock.owns_lock())
            {
                lock.lock();
            }
            windowHandled = state->windowRequest;
            state->windowAnswered = state->windowRequest;
            state->windowVerdict = InternalFailure;
            state->clearAnswered = state->clearRequest;
            state->answered.notify_all();
        }
    }
    state->exited = true;
    state->answered.notify_all();
}

} // namespace velkor
