#include "bench/support/ProcessClock.h"

#include <cstdio>

double CpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double LoadAverage()
{
    double load = 0;
    if (FILE* file = std::fopen("/proc/loadavg", "r"))
    {
        if (std::fscanf(file, "%lf", &load) != 1)
        {
            load = 0;
        }
        std::fclose(file);
    }
    return load;
}
