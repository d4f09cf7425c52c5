#include "velkor/DrawingMailbox.h"

#include "velkor/ResultCode.h"

namespace velkor
{

using Clock = NoSignalClock::Clock;

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
    m_wake.notify_all();
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
    m_wake.notify_all();
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
    m_wake.notify_all();
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
    m_wake.notify_all();
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
    m_wake.notify_all();
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

DrawingMailbox::Job DrawingMailbox::next(Frame& picture)
{
    std::unique_lock lock(m_mutex);
    while (!workLocked(Clock::now()))
    {
        if (m_noSignal.running())
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
