#include "WorkerThread.h"

namespace velkor
{

WorkerThread::~WorkerThread()
{
    stop();
}

void WorkerThread::start(std::function<void(const std::atomic<bool>& stop)> body)
{
    stop();
    m_stop = false;
    m_finished = false;
    m_thread = std::thread(
        [this, body = std::move(body)]
        {
            body(m_stop);
            m_finished = true;
        });
}

void WorkerThread::stop()
{
    m_stop = true;
    if (!m_thread.joinable())
    {
        return;
    }
    if (m_thread.get_id() == std::this_thread::get_id())
    {
        m_thread.detach();
    }
    else
    {
        m_thread.join();
    }
}

} // namespace velkor
