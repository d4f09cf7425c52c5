#pragma once

#include <ctime>

// What the benchmarks read about their own process: CPU time of a clock, and the machine's load,
// so that each figure can be printed beside how busy the machine was.
double CpuSeconds(clockid_t clock);
// The 1-minute load average, or 0 when it cannot be read.
double LoadAverage();
