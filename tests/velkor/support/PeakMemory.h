#pragma once

#include <atomic>
#include <thread>

namespace velkortest
{

// The largest resident size of this process while the object lives, sampled every 20 ms.
class PeakMemory
{
public:
    PeakMemory();
    ~PeakMemory();
    PeakMemory(const PeakMemory&) = delete;
    PeakMemory& operator=(const PeakMemory&) = delete;

    long megabytes() const { return m_peak.load() >> 20; }
    // The kernel's count of another process's largest resident size so far (VmHWM); -1 when
    // unknown.
    static long highWaterMegabytes(int pid);

private:
    std::atomic<bool> m_done{false};
    std::atomic<long> m_peak{0};
    std::thread m_thread;
};

} // namespace velkortest
