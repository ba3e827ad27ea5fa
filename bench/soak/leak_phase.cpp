// One copy, many passes, each waited for: what the process holds after a few passes and after
// many. Also the time from a press to the end of its pass, which bounds the kill delays.
#include <algorithm>

#include "bench/soak/phases.h"
#include "bench/soak/soak_options.h"
#include "framework/scoped.h"

namespace tvx::soak {

namespace {
constexpr DWORD kPassWaitMs = 15000;
}  // namespace

double LeakResult::Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

LeakResult RunLeakPasses(int passes, const ValueMap& baseline, PassRecords& records) {
    LeakResult r;
    r.keysPerActivation = KeysPerActivation();
    SoakApp app(records);
    if (!app.Launch(r.problem)) return r;
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_DUP_HANDLE, FALSE, app.pid()));
    if (!process) {
        r.problem = "OpenProcess failed (" + std::to_string(::GetLastError()) + ")";
        return r;
    }
    int activationsAtEarly = 0;
    for (int i = 1; i <= passes; ++i) {
        const int ended = app.EndedHere();
        const unsigned long long pressed = NowTicks();
        app.Press();
        if (!test::WaitUntil([&] { return app.EndedHere() > ended; }, kPassWaitMs)) {
            r.problem = "pass " + std::to_string(i) + " did not end within 15 s";
            break;
        }
        auto since = [&](unsigned long long t) { return static_cast<double>(t - pressed) / 1e4; };
        r.passMs.push_back(since(records.LastEndTicks()));
        const WriteSpan writes = WritesSince(pressed);
        if (writes.first) {
            r.firstWriteMs.push_back(since(writes.first));
            r.lastWriteMs.push_back(since(writes.last));
        }
        r.passes = i;
        // The figures are read once the worker is gone and the window has painted.
        if (i == kEarlyLeakPasses) {
            app.Settle();
            r.early = Measure(process.get(), app.pid());
            activationsAtEarly = records.Activations();
        } else if (i == passes) {
            app.Settle();
            r.late = Measure(process.get(), app.pid());
            r.activationsBetween = records.Activations() - activationsAtEarly;
        } else {
            app.Settle(10000, 100);
        }
    }
    // Back to START for whoever comes next.
    if (r.passes % 2) {
        app.Press();
        app.Settle();
    }
    if (r.problem.empty() && !Differences(baseline, ReadGamePingValues()).empty())
        r.problem = "the values are not back after the last STOP";
    app.Kill();
    return r;
}

}  // namespace tvx::soak
