#include "velkor/net/WorkerThread.h"

#include <cassert>

namespace velkor
{

WorkerThread::~WorkerThread()
{
    stop();
}

void WorkerThread::start(std::function<void(StopSignal& stop)> body)
{
    stop();
    m_stop.reset();
    m_finished = false;
    m_thread = std::thread(
        [this, body = std::move(body)]
        {
            try
            {
                body(m_stop);
            }
            catch (...)
            {
                // Bodies report their own failures; one that still throws must not end the
                // process.
            }
            m_finished = true;
        });
}

void WorkerThread::stop()
{
    assert(!isCurrentThread() && "a worker thread cannot stop itself");
    m_stop.request();
    if (m_thread.joinable())
    {
        m_thread.join();
    }
}

} // namespace velkor
