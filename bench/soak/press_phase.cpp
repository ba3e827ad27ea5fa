// Presses at random intervals from 0 to 300 ms: passes pile up, most give way to newer requests,
// and whatever ran last must match what the button shows.
#include <cstdio>
#include <random>

#include "bench/bench_clock.h"
#include "bench/soak/phases.h"

namespace tvx::soak {

namespace {
constexpr int kMaxIntervalMs = 300;
constexpr DWORD kSettleMs = 60000;
}  // namespace

SeedResult RunPressSeed(std::uint32_t seed, int presses, const ButtonLooks& looks,
                        const ValueMap& baseline, PassRecords& records) {
    SeedResult r;
    r.seed = seed;
    r.presses = presses;
    r.expected = presses % 2 ? Shown::Stop : Shown::Start;
    const double begin = bench::SecondsNow();
    SoakApp app(records);
    if (!app.Launch(r.problem)) return r;

    std::mt19937 random(seed);
    std::uniform_int_distribution<int> interval(0, kMaxIntervalMs);
    for (int i = 0; i < presses; ++i) {
        if (i > 0) ::Sleep(static_cast<DWORD>(interval(random)));
        app.Press();
    }
    r.settled = app.Settle(kSettleMs);
    r.shown = app.ShownState(looks);
    const ValueMap values = ReadGamePingValues();
    r.passes = app.BegunHere();
    r.seconds = bench::SecondsNow() - begin;

    const auto fromBaseline = Differences(baseline, values);
    if (r.shown == Shown::Stop) {
        r.agree = AllOn(values);
        if (!r.agree) r.problem = "STOP shown but not every game-ping value is 1";
    } else if (r.shown == Shown::Start) {
        r.agree = fromBaseline.empty();
        if (!r.agree) r.problem = "START shown but " + fromBaseline.front();
    } else {
        r.problem = "the button shows neither START nor STOP";
    }
    if (!r.settled && r.problem.empty()) r.problem = "passes did not settle within 60 s";

    // Leave the baseline for the next phase: STOP once more when it ended on.
    if (r.shown == Shown::Stop) {
        app.Press();
        app.Settle(kSettleMs);
    }
    app.Kill();
    return r;
}

}  // namespace tvx::soak
