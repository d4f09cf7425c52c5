#include "velkor/net/Pause.h"

#include <condition_variable>
#include <mutex>

namespace velkor
{

bool Pause::stopped(const std::stop_token& stop, std::chrono::steady_clock::duration duration)
{
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, duration, [] { return false; });
    return stop.stop_requested();
}

} // namespace velkor
