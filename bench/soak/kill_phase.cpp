// Kills in the middle of passes. Each round: (for a STOP pass, START first and let it settle),
// press, TerminateProcess after a random delay, start afresh, bring the machine back with STOP
// (START first when the fresh copy shows START), then every planted value must be back exactly
// and nothing of ours left.
#include <cstdio>
#include <random>

#include "bench/bench_clock.h"
#include "bench/soak/phases.h"

namespace tvx::soak {

namespace {

constexpr DWORD kSettleMs = 30000;

struct Round {
    std::vector<std::string> failures;
    bool driving = false;  // a failure of the round's own steps, not of the restored values
    void Fail(std::string what) { failures.push_back(std::move(what)); }
    void FailStep(std::string what) {
        driving = true;
        Fail(std::move(what));
    }
};

// Presses once and waits for the pass.
void PressAndSettle(SoakApp& app, Round& round, const char* what) {
    app.Press();
    if (!app.Settle(kSettleMs)) round.FailStep(std::string(what) + " did not settle within 30 s");
}

bool SameValue(const test::RegValue& a, const test::RegValue& b) {
    return a.type == b.type && a.data == b.data;
}

bool SameValues(const ValueMap& a, const ValueMap& b) { return Differences(a, b).empty(); }

}  // namespace

KillSummary RunKillRounds(std::uint32_t seed, int rounds, int passMs, const ButtonLooks& looks,
                          ValueMap& baseline, PassRecords& records) {
    KillSummary s;
    s.seed = seed;
    std::mt19937 random(seed);
    std::bernoulli_distribution stopPass(0.5);
    // In microseconds: the writes take a fraction of a pass, and Sleep's steps would miss them.
    std::uniform_int_distribution<int> delayUs(0, passMs * 1000);

    SoakApp app(records);
    std::string error;
    bool running = false;
    for (int r = 1; r <= rounds; ++r) {
        const bool inStop = stopPass(random);
        const int delay = delayUs(random);
        Round round;
        ++s.rounds;
        ++(inStop ? s.inStop : s.inStart);

        if (!running && !(running = app.Launch(error)))
            round.FailStep("start before the kill: " + error);
        ValueMap before = baseline;
        if (running) {
            if (inStop) PressAndSettle(app, round, "START before the kill");
            before = ReadGamePingValues();
            app.RemoveTrayIcon();
            app.Press();
            const double until = bench::SecondsNow() + delay / 1e6;
            while (bench::SecondsNow() < until) ::YieldProcessor();
            if (!app.Terminate()) round.FailStep("the killed process did not end within 10 s");
            running = false;
        }
        const ValueMap afterKill = ReadGamePingValues();
        const bool leftAllOn = AllOn(afterKill);
        s.leftAllOn += leftAllOn;
        const bool passDone = inStop ? SameValues(baseline, afterKill) : leftAllOn;
        if (SameValues(before, afterKill)) {
            ++s.landedBefore;
        } else if (passDone) {
            ++s.landedAfter;
        } else {
            ++s.landedPartway;
        }

        running = app.Launch(error);
        if (!running) round.FailStep("fresh start: " + error);
        Shown shown = running ? app.ShownState(looks) : Shown::Unknown;
        if (running && leftAllOn && shown == Shown::Start)
            round.Fail("the fresh start shows START although the killed copy left game ping on");
        if (running && shown == Shown::Stop) {
            ++(leftAllOn ? s.showedStopAfter : s.showedStopOther);
            PressAndSettle(app, round, "STOP after the fresh start");
        } else if (running && shown == Shown::Start) {
            PressAndSettle(app, round, "START after the fresh start");
            PressAndSettle(app, round, "STOP after the fresh start");
        } else if (running) {
            round.FailStep("the fresh start shows neither START nor STOP");
        }
        if (running && shown != Shown::Unknown && app.ShownState(looks) != Shown::Start)
            round.FailStep("the button does not show START after STOP");

        const ValueMap values = ReadGamePingValues();
        const Store store = ReadStore();
        bool exact = true;
        for (const auto& [name, value] : baseline) {
            const auto it = values.find(name);
            exact = exact && it != values.end() && SameValue(it->second, value);
        }
        bool leftover = store.state == StoreState::Holding;
        for (const auto& [name, value] : values) leftover = leftover || !baseline.count(name);
        for (const std::string& line : Differences(baseline, values)) round.Fail(line);
        for (const auto& [name, value] : store.values)
            round.Fail("store entry left: " + ShortName(name));
        s.restored += exact && !leftover;
        s.leftovers += leftover;
        s.storeGone += store.state == StoreState::Gone;
        s.storeEmpty += store.state == StoreState::Empty;
        s.stepFailures += round.driving;

        if (!round.failures.empty()) {
            std::printf("kill round %d (%s pass, killed %.3f ms after the press, fresh start"
                        " showed %s):\n",
                        r, inStop ? "STOP" : "START", delay / 1000.0, ShownName(shown));
            for (const std::string& f : round.failures) std::printf("    %s\n", f.c_str());
            std::fflush(stdout);
        }
        // A round that left the machine off its baseline would spoil every later one.
        if (!exact || leftover) {
            app.Kill();
            running = false;
            std::string prepareError;
            baseline = PrepareMachine(prepareError);
            if (baseline.empty()) {
                std::printf("    cannot put the baseline back: %s\n", prepareError.c_str());
                break;
            }
        }
    }
    app.Kill();
    return s;
}

}  // namespace tvx::soak
