#include "velkor/PlayCallbacks.h"

namespace velkor
{

void PlayCallbacks::set(IAppCallBack* callback)
{
    std::lock_guard lock(m_mutex);
    m_callback = callback;
}

void PlayCallbacks::clear()
{
    set(nullptr);
}

EventDispatcher::Task PlayCallbacks::bind(std::function<void(IAppCallBack&)> call) const
{
    IAppCallBack* callback = nullptr;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
    }
    if (callback == nullptr)
    {
        return {};
    }
    return [callback, call = std::move(call)] { call(*callback); };
}

} // namespace velkor
