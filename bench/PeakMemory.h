// The process's peak resident memory so far, for the benchmarks' figures.
#pragma once

#include <sys/resource.h>

inline long PeakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
