// Prints what one ShowToast costs on a thread of its own, as an optimisation pass calls it:
// with the stand-in classes registered (without recording) and with no classes at all.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

#include "notify/toast.h"
#include "tests/support/toast_double.h"

namespace {

constexpr int kRuns = 200;

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

void Measure(const char* label) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        double elapsed = 0;
        std::thread([&] {
            LARGE_INTEGER start, end;
            ::QueryPerformanceCounter(&start);
            tvx::ShowToast(i % 2 ? L"게임핑 동작이 정지되었습니다."
                                 : L"게임핑이 성공적으로 동작 중입니다.");
            ::QueryPerformanceCounter(&end);
            elapsed = Milliseconds(start, end, frequency);
        }).join();
        times.push_back(elapsed);
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("%-34s runs %d  mean %.3f ms  median %.3f ms  p95 %.3f ms  max %.3f ms\n", label,
                kRuns, sum / kRuns, times[kRuns / 2], times[kRuns * 95 / 100], times.back());
}

}  // namespace

int main() {
    ::SetEnvironmentVariableW(L"TARNIVEX_TOAST_LOG", nullptr);
    if (!tvx::test::RegisterToastDouble(tvx::test::ToastDoubleDllPath())) {
        std::printf("toast stand-in not found next to the build\n");
        return 1;
    }
    Measure("ShowToast, stand-in classes");
    tvx::test::UnregisterToastDouble();
    Measure("ShowToast, classes not registered");
    return 0;
}
