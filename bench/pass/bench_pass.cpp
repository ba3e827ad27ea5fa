// Cost of one optimisation pass outside the 3000 ms pauses it must make, with 64 interface keys
// and three connected connections (the connection manager and toast stand-ins registered), and
// the working-set trim's cost per process over the processes of the prefix.
//
// A pass's time is measured around RunOptimisationPass; the pauses are measured from the
// stand-in's records (each connection's connect time minus its disconnect time) and subtracted.
// The helpers' result lines go to the null device, as they would go to a redirected output.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/optimisation_pass.h"
#include "engine/tcp_tuning.h"
#include "engine/working_set.h"
#include "framework/scoped.h"
#include "tests/support/netcon_double.h"
#include "tests/support/registry_test_util.h"
#include "tests/support/toast_double.h"
#include "bench/bench_clock.h"

namespace {

constexpr int kInterfaceKeys = 64;
constexpr int kRounds = 3;
constexpr int kTrimRounds = 20;

double NowMs() { return tvx::bench::SecondsNow() * 1000.0; }

std::wstring BenchKey(int i) {
    wchar_t name[64];
    swprintf(name, 64, L"\\{B0000000-9A55-4000-8000-%012d}", i);
    return std::wstring(tvx::kInterfacesKey) + name;
}

// Pause time in the records from index `from` on: connect minus disconnect per connection.
double PausesMs(const std::vector<tvx::test::NetconRecord>& records, size_t from) {
    double total = 0;
    for (size_t i = from; i < records.size(); ++i) {
        if (records[i].event != "disconnect") continue;
        for (size_t j = i + 1; j < records.size(); ++j) {
            if (records[j].event == "connect" && records[j].detail == records[i].detail) {
                total += static_cast<double>(records[j].ticks - records[i].ticks) / 10000.0;
                break;
            }
        }
    }
    return total;
}

struct Figures {
    std::vector<double> outside;
    double best() const { return *std::min_element(outside.begin(), outside.end()); }
    double median() const {
        std::vector<double> v = outside;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

}  // namespace

int main() {
    const size_t existing = tvx::test::SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey).size();
    const int added = std::max(0, kInterfaceKeys - static_cast<int>(existing));
    for (int i = 0; i < added; ++i) tvx::test::CreateKey(HKEY_LOCAL_MACHINE, BenchKey(i));
    const size_t keys = tvx::test::SubkeyNames(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey).size();

    tvx::test::ToastDoubleSession toasts;
    tvx::test::NetconDoubleSession netcon({"2 Ethernet", "2 Wi-Fi", "2 Dial-up"});
    if (!toasts.registered() || !netcon.registered()) {
        std::printf("stand-ins could not be registered\n");
        return 1;
    }

    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    tvx::UniqueFileHandle nul(
        ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));

    tvx::OptimisationPasses passes;
    passes.request.memory = true;
    Figures start, stop;
    std::vector<double> startTotal, stopTotal;
    for (int round = 0; round < kRounds; ++round) {
        for (BOOL state : {TRUE, FALSE}) {
            passes.request.gamePing = state != FALSE;
            const size_t from = netcon.Records().size();
            ::SetStdHandle(STD_OUTPUT_HANDLE, nul.get());
            const double begin = NowMs();
            tvx::RunOptimisationPass(passes);
            const double total = NowMs() - begin;
            ::SetStdHandle(STD_OUTPUT_HANDLE, output);
            const double outside = total - PausesMs(netcon.Records(), from);
            (state ? start : stop).outside.push_back(outside);
            (state ? startTotal : stopTotal).push_back(total);
        }
    }

    tvx::TrimWalkCounts counts;
    double trimBest = 1e300;
    for (int i = 0; i < kTrimRounds; ++i) {
        const double begin = NowMs();
        counts = tvx::TrimWorkingSets(nullptr);
        trimBest = std::min(trimBest, NowMs() - begin);
    }

    for (int i = 0; i < added; ++i) tvx::test::DeleteTree(HKEY_LOCAL_MACHINE, BenchKey(i));

    std::printf("optimisation pass, %zu interface keys, 3 connected connections, %d rounds\n", keys,
                kRounds);
    std::printf(
        "  START (Memory on): outside the pauses best %.1f ms, median %.1f ms"
        " (whole pass %.0f ms)\n",
        start.best(), start.median(), startTotal.front());
    std::printf(
        "  STOP:              outside the pauses best %.1f ms, median %.1f ms"
        " (whole pass %.0f ms)\n",
        stop.best(), stop.median(), stopTotal.front());
    std::printf(
        "working-set trim: %zu processes in the snapshot, %zu opened, best of %d walks"
        " %.2f ms, %.1f us per process\n",
        counts.entries, counts.opened, kTrimRounds, trimBest,
        counts.entries ? trimBest * 1000.0 / static_cast<double>(counts.entries) : 0.0);
    return 0;
}
