#include "tests/velkor/support/PeakMemory.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace velkortest
{

PeakMemory::PeakMemory()
    : m_thread(
          [this]
          {
              while (!m_done.load())
              {
                  std::ifstream statm("/proc/self/statm");
                  long pages = 0;
                  long resident = 0;
                  statm >> pages >> resident;
                  m_peak = std::max(m_peak.load(), resident * ::sysconf(_SC_PAGESIZE));
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          })
{
}

PeakMemory::~PeakMemory()
{
    m_done = true;
    m_thread.join();
}

} // namespace velkortest
