#pragma once

#include "velkor/EventDispatcher.h"

#include <functional>
#include <mutex>

class IAppCallBack;

namespace velkor
{

// The IAppCallBack of the live play that runs, when it was started with one: what is reported of
// that play goes to it too, on the dispatcher thread.
class PlayCallbacks
{
public:
    void set(IAppCallBack* callback);
    void clear();
    // A task that calls the play's callback, or none while play has no callback.
    EventDispatcher::Task bind(std::function<void(IAppCallBack&)> call) const;

private:
    mutable std::mutex m_mutex;
    IAppCallBack* m_callback = nullptr;
};

} // namespace velkor
