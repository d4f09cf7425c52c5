#include "velkor/draw/DrawingMailbox.h"

#include "velkor/report/ResultCode.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace velkor
{

using Clock = NoSignalClock::Clock;

DrawingMailbox::DrawingMailbox() : m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

DrawingMailbox::~DrawingMailbox()
{
    if (m_wakeFd >= 0)
    {
        ::close(m_wakeFd);
    }
}

void DrawingMailbox::wake()
{
    m_wake.notify_all();
    if (m_polling.load())
    {
        const std::uint64_t one = 1;
        // A counter: only that it is not zero matters, so a failed write leaves it so.
        [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
    }
}

void DrawingMailbox::open()
{
    std::lock_guard lock(m_mutex);
    m_open = true;
}

bool DrawingMailbox::close()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_stopping)
        {
            return false;
        }
        m_stopping = true;
    }
    wake();
    return true;
}

std::uint64_t DrawingMailbox::askWindow(std::uintptr_t window)
{
    std::uint64_t request = 0;
    {
        std::lock_guard lock(m_mutex);
        m_window = window;
        request = ++m_windowRequest;
    }
    wake();
    return request;
}

std::uint64_t DrawingMailbox::askClear()
{
    Frame dropped;
    std::uint64_t request = 0;
    {
        std::lock_guard lock(m_mutex);
        request = ++m_clearRequest;
        dropped.swap(m_picture);
        m_noSignal.stop();
    }
    wake();
    return request;
}

bool DrawingMailbox::post(Frame& picture, bool& replaced)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_stopping)
        {
            return false;
        }
        replaced = !m_picture.empty();
        m_picture.swap(picture);
        m_noSignal.stop();
    }
    wake();
    return true;
}

void DrawingMailbox::showNoSignal()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_open)
        {
            return;
        }
        m_noSignal.start(Clock::now());
    }
    wake();
}

void DrawingMailbox::endNoSignal()
{
    std::lock_guard lock(m_mutex);
    m_noSignal.stop();
}

DrawingMailbox::Answer DrawingMailbox::awaitWindow(std::uint64_t request,
                                                   std::chrono::milliseconds patience)
{
    return await(patience, m_windowAnswered, request);
}

int32_t DrawingMailbox::windowVerdict(std::uint64_t request)
{
    std::lock_guard lock(m_mutex);
    return m_windowAnswered == request ? m_windowVerdict : Ok;
}

DrawingMailbox::Answer DrawingMailbox::awaitClear(std::uint64_t request,
                                                  std::chrono::milliseconds patience)
{
    return await(patience, m_clearAnswered, request);
}

bool DrawingMailbox::awaitExit(std::chrono::milliseconds patience)
{
    std::unique_lock lock(m_mutex);
    return m_answered.wait_for(lock, patience, [this] { return m_exited; });
}

DrawingMailbox::Answer DrawingMailbox::await(std::chrono::milliseconds patience,
                                             const std::uint64_t& answered, std::uint64_t request)
{
    std::unique_lock lock(m_mutex);
    if (!m_answered.wait_for(lock, patience, [&] { return answered >= request || m_exited; }))
    {
        return Answer::TimedOut;
    }
    return answered >= request ? Answer::Given : Answer::Exited;
}

DrawingMailbox::Job DrawingMailbox::next(Frame& picture, int events)
{
    std::unique_lock lock(m_mutex);
    while (!workLocked(Clock::now()))
    {
        if (events >= 0 && m_wakeFd >= 0)
        {
            std::optional<Clock::time_point> until;
            if (m_noSignal.running())
            {
                until = m_noSignal.nextDue();
            }
            m_polling = true;
            lock.unlock();
            const bool readable = awaitSocket(events, until);
            lock.lock();
            m_polling = false;
            if (readable && !workLocked(Clock::now()))
            {
                return Job{Job::Kind::Events};
            }
        }
        else if (m_noSignal.running())
        {
            m_wake.wait_until(lock, m_noSignal.nextDue());
        }
        else
        {
            m_wake.wait(lock);
        }
    }
    Job job;
    if (m_stopping)
    {
        job.kind = Job::Kind::Stop;
    }
    else if (m_windowRequest != m_windowTaken)
    {
        job = {Job::Kind::Window, m_windowRequest, m_window};
        m_windowTaken = m_windowRequest;
    }
    else if (m_clearRequest != m_clearTaken)
    {
        job = {Job::Kind::Clear, m_clearRequest};
        m_clearTaken = m_clearRequest;
    }
    else if (!m_picture.empty())
    {
        job.kind = Job::Kind::Picture;
        picture.swap(m_picture);
    }
    else
    {
        job.kind = Job::Kind::NoSignal;
        job.lost = m_noSignal.tick(Clock::now());
    }
    return job;
}

bool DrawingMailbox::awaitSocket(int events, std::optional<Clock::time_point> until)
{
    int timeout = -1;
    if (until)
    {
        timeout = static_cast<int>(std::max<long long>(
            0, std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count()));
    }
    std::array<pollfd, 2> sockets{{{m_wakeFd, POLLIN, 0}, {events, POLLIN, 0}}};
    if (::poll(sockets.data(), sockets.size(), timeout) <= 0)
    {
        return false;
    }
    if (sockets[0].revents != 0)
    {
        std::uint64_t wakes = 0;
        [[maybe_unused]] const auto read = ::read(m_wakeFd, &wakes, sizeof wakes);
    }
    return sockets[1].revents != 0;
}

bool DrawingMailbox::workLocked(Clock::time_point now) const
{
    return m_stopping || m_windowRequest != m_windowTaken || m_clearRequest != m_clearTaken ||
           !m_picture.empty() || m_noSignal.due(now);
}

void DrawingMailbox::answerWindow(std::uint64_t request, int32_t verdict)
{
    {
        std::lock_guard lock(m_mutex);
        m_windowAnswered = request;
        m_windowVerdict = verdict;
    }
    m_answered.notify_all();
}

void DrawingMailbox::answerClear(std::uint64_t request)
{
    {
        std::lock_guard lock(m_mutex);
        m_clearAnswered = request;
    }
    m_answered.notify_all();
}

void DrawingMailbox::answerAll(int32_t verdict)
{
    {
        std::lock_guard lock(m_mutex);
        m_windowTaken = m_windowRequest;
        m_windowAnswered = m_windowRequest;
        m_windowVerdict = verdict;
        m_clearTaken = m_clearRequest;
        m_clearAnswered = m_clearRequest;
    }
    m_answered.notify_all();
}

void DrawingMailbox::exited()
{
    {
        std::lock_guard lock(m_mutex);
        m_exited = true;
    }
    m_answered.notify_all();
}

} // namespace velkor
