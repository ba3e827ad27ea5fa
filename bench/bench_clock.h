// The benchmarks' clock: the performance counter in seconds.
#pragma once

#include <windows.h>

namespace tvx::bench {

inline double SecondsNow() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER c;
    ::QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / frequency;
}

}  // namespace tvx::bench
