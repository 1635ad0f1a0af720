// The benchmarks' clock: the performance counter, in milliseconds or seconds since an arbitrary
// start. Differences of two readings are what the benchmarks print.
#pragma once

#include <windows.h>

namespace bench {

inline double NowSeconds()
{
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

inline double NowMs() { return NowSeconds() * 1000.0; }

}  // namespace bench
