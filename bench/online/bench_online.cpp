// Costs of the online sequence's pieces, printed; nothing passes or fails on a figure.
//
//   reply      reading an update reply (decode, split, compare), per call: a typical reply and
//              one at the 64 KiB limit
//   launch     UpdateLaunchRecord on a day already recorded (one registry read), per call
//   network    when the development server runs at the built-in address (scripts/bench starts it):
//              one usage report, one update check, and an update check whose reply is 256 MiB,
//              with the growth of the process's peak private memory during it
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "framework/internet.h"
#include "framework/scoped.h"
#include "framework/message_box.h"
#include "online/launch_record.h"
#include "online/online_endpoints.h"
#include "online/update_reply.h"
#include "online/usage_report.h"
#include "ui/tarnivex_dlg.h"
#include "bench/bench_clock.h"
#include "bench/dev_server_control.h"

namespace {

double Now() { return tvx::bench::SecondsNow(); }

template <typename F>
double MicrosecondsPerCall(int calls, F&& f) {
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = Now();
        for (int i = 0; i < calls; ++i) f();
        best = std::min(best, (Now() - start) / calls * 1e6);
    }
    return best;
}

SIZE_T PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

int AnswerOk(const std::wstring&, UINT) { return IDOK; }

}  // namespace

int wmain() {
    const std::string typical = "12#https://127.0.0.1:8443/files/tarnivex_client.exe\r\n";
    std::string atLimit = typical;
    atLimit.resize(tvx::kMaxUpdateReplyBytes, ' ');
    volatile bool sink = false;
    std::printf("reply    typical %zu B: %.3f us/call\n", typical.size(),
                MicrosecondsPerCall(
                    20000, [&] { sink = tvx::EvaluateUpdateReply(typical, L"3").offered; }));
    std::printf(
        "reply    at limit %zu B: %.3f us/call\n", atLimit.size(),
        MicrosecondsPerCall(200, [&] { sink = tvx::EvaluateUpdateReply(atLimit, L"3").offered; }));

    tvx::UpdateLaunchRecord();  // today is recorded from here on
    std::printf("launch   same day: %.3f us/call\n",
                MicrosecondsPerCall(2000, [&] { sink = tvx::UpdateLaunchRecord(); }));

    if (std::wstring(tvx::kUpdateCheckUrl).rfind(L"https://127.0.0.1:", 0) != 0 ||
        !bench::Control(L"/_reset", "")) {
        std::printf("network  skipped: no development server at the built-in address\n");
        return 0;
    }
    tvx::SetMessageBoxHook(&AnswerOk);
    std::printf("network  usage report: %.1f ms\n",
                MicrosecondsPerCall(20, [] { tvx::ReportUsage(tvx::kRunReportUrl); }) / 1000);
    bench::Control(L"/_config?key=update", typical);
    CTarnivexDlg dlg;
    std::printf("network  update check: %.1f ms\n",
                MicrosecondsPerCall(20, [&] {
                    sink =
                        dlg.CheckForUpdate(CTarnivexDlg::RequestUpdateCheck(tvx::kUpdateCheckUrl));
                }) / 1000);
    bench::Control(L"/_config?key=mode", "huge");
    const SIZE_T before = PeakPrivateBytes();
    const double start = Now();
    sink = dlg.CheckForUpdate(CTarnivexDlg::RequestUpdateCheck(tvx::kUpdateCheckUrl));
    std::printf("network  update check, 256 MiB reply: %.1f ms, peak private memory +%.1f MiB\n",
                (Now() - start) * 1000, (PeakPrivateBytes() - before) / 1048576.0);
    bench::Control(L"/_reset", "");
    return 0;
}
