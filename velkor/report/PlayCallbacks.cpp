#include "velkor/report/PlayCallbacks.h"

namespace velkor
{

void PlayCallbacks::set(IAppCallBack* callback)
{
    std::lock_guard lock(m_mutex);
    m_callback = callback;
}

void PlayCallbacks::drop()
{
    std::lock_guard lock(m_mutex);
    m_callback = nullptr;
    ++m_generation;
}

void PlayCallbacks::waitForDropped()
{
    std::unique_lock lock(m_mutex);
    const std::uint64_t dropped = m_generation;
    m_idle.wait(lock,
                [this, dropped]
                {
                    return !m_running || m_runningGeneration >= dropped || m_closed ||
                           m_runningOn == std::this_thread::get_id();
                });
}

void PlayCallbacks::close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_callback = nullptr;
    ++m_generation;
    m_idle.notify_all();
}

EventDispatcher::Task PlayCallbacks::bind(std::function<void(IAppCallBack&)> call)
{
    std::lock_guard lock(m_mutex);
    if (m_callback == nullptr)
    {
        return {};
    }
    return [this, generation = m_generation, callback = m_callback, call = std::move(call)]
    { run(generation, *callback, call); };
}

void PlayCallbacks::run(std::uint64_t generation, IAppCallBack& callback,
                        const std::function<void(IAppCallBack&)>& call)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
        {
            return;
        }
        m_running = true;
        m_runningGeneration = generation;
        m_runningOn = std::this_thread::get_id();
    }
    // Whatever the callback does, throwing included, it is over when this goes.
    struct Finished
    {
        PlayCallbacks& callbacks;
        ~Finished()
        {
            {
                std::lock_guard lock(callbacks.m_mutex);
                callbacks.m_running = false;
            }
            callbacks.m_idle.notify_all();
        }
    } finished{*this};
    call(callback);
}

} // namespace velkor
