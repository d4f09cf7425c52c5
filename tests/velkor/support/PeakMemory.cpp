#include "tests/velkor/support/PeakMemory.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>

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

long PeakMemory::highWaterMegabytes(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
    {
        if (line.rfind("VmHWM:", 0) == 0)
        {
            return std::stol(line.substr(6)) >> 10;
        }
    }
    return -1;
}

PeakMemory::~PeakMemory()
{
    m_done = true;
    m_thread.join();
}

} // namespace velkortest
