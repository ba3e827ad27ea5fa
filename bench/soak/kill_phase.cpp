// Kills in the middle of passes. Each round: (for a STOP pass, START first and let it settle),
// press, TerminateProcess after a random delay, start afresh, bring the machine back with STOP
// (START first when the fresh copy shows START), then every planted value must be back exactly
// and nothing of ours left.
#include <cstdio>
#include <random>

#include "bench/soak/phases.h"

namespace tvx::soak {

namespace {

constexpr DWORD kSettleMs = 30000;

struct Round {
    std::vector<std::string> failures;
    bool stepFailed = false;  // starting, settling or the shown state, not the values
    Shown shownAfterKill = Shown::Unknown;
    void Fail(std::string what) { failures.push_back(std::move(what)); }
    void FailStep(std::string what) {
        stepFailed = true;
        Fail(std::move(what));
    }
};

void PressAndSettle(SoakApp& app, Round& round, const char* what) {
    app.Press();
    if (!app.Settle(kSettleMs)) round.FailStep(std::string(what) + " did not settle within 30 s");
}

// Sleep counts whole milliseconds; the native call takes 100 ns units, and Wine sleeps them
// with a microsecond timer. Not a busy wait: on two cores that would slow the program's pass.
void SleepMicroseconds(int us) {
    using Delay = LONG(NTAPI*)(BOOLEAN, PLARGE_INTEGER);
    static const auto delay = reinterpret_cast<Delay>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDelayExecution")));
    if (us <= 0) return;
    LARGE_INTEGER interval;
    interval.QuadPart = -10LL * us;  // negative: relative
    if (!delay || delay(FALSE, &interval) < 0) ::Sleep(static_cast<DWORD>((us + 999) / 1000));
}

// Presses (START first for a STOP pass) and kills the copy delayUs later. Returns the game-ping
// values as they were just before the press.
ValueMap KillDuringPass(SoakApp& app, bool stopPass, int delayUs, Round& round) {
    if (stopPass) PressAndSettle(app, round, "START before the kill");
    ValueMap before = ReadGamePingValues();
    app.RemoveTrayIcon();
    app.Press();
    SleepMicroseconds(delayUs);
    if (!app.Terminate()) round.FailStep("the killed process did not end within 10 s");
    return before;
}

// Where the kill landed, from the values it left: none changed, all, or some.
void CountLanding(const ValueMap& before, const ValueMap& after, const ValueMap& baseline,
                  bool stopPass, KillSummary& s) {
    const bool done = stopPass ? Differences(baseline, after).empty() : AllOn(after);
    if (Differences(before, after).empty()) {
        ++s.landedBefore;
    } else if (done) {
        ++s.landedAfter;
    } else {
        ++s.landedPartway;
    }
}

// A fresh copy back at START with game ping off: STOP when it shows STOP, else START then STOP.
// False when it did not start.
bool BringBack(SoakApp& app, bool leftAllOn, const ButtonLooks& looks, Round& round,
               KillSummary& s) {
    std::string error;
    if (!app.Launch(error)) {
        round.FailStep("fresh start: " + error);
        return false;
    }
    round.shownAfterKill = app.ShownState(looks);
    switch (round.shownAfterKill) {
        case Shown::Stop:
            ++(leftAllOn ? s.showedStopAfter : s.showedStopOther);
            PressAndSettle(app, round, "STOP after the fresh start");
            break;
        case Shown::Start:
            if (leftAllOn)
                round.Fail(
                    "the fresh start shows START although the killed copy left game ping on");
            PressAndSettle(app, round, "START after the fresh start");
            PressAndSettle(app, round, "STOP after the fresh start");
            break;
        case Shown::Unknown:
            round.FailStep("the fresh start shows neither START nor STOP");
            return true;
    }
    if (app.ShownState(looks) != Shown::Start)
        round.FailStep("the button does not show START after STOP");
    return true;
}

// The planted values exactly as before, and nothing of ours: no other game-ping value, no entry
// in the backup store. True when the machine is clean.
bool CheckRestored(const ValueMap& baseline, Round& round, KillSummary& s) {
    const ValueMap values = ReadGamePingValues();
    const Store store = ReadStore();
    bool exact = true;
    for (const auto& [name, value] : baseline) {
        const auto it = values.find(name);
        exact = exact && it != values.end() && it->second.type == value.type &&
                it->second.data == value.data;
    }
    bool leftover = store.state == StoreState::Holding;
    for (const auto& [name, value] : values) leftover = leftover || !baseline.count(name);
    for (const std::string& line : Differences(baseline, values)) round.Fail(line);
    for (const auto& [name, value] : store.values)
        round.Fail("store entry left: " + ShortName(name));
    s.restored += exact;
    s.leftovers += leftover;
    s.storeGone += store.state == StoreState::Gone;
    s.storeEmpty += store.state == StoreState::Empty;
    return exact && !leftover;
}

}  // namespace

KillSummary RunKillRounds(std::uint32_t seed, int rounds, double passMs, const ButtonLooks& looks,
                          const ValueMap& baseline, PassRecords& records) {
    KillSummary s;
    s.seed = seed;
    std::mt19937 random(seed);
    std::bernoulli_distribution stopPasses(0.5);
    // In microseconds: a pass takes a few milliseconds, which Sleep's whole steps would blur.
    std::uniform_int_distribution<int> delaysUs(0, static_cast<int>(passMs * 1000.0));

    SoakApp app(records);
    bool running = false;
    for (int r = 1; r <= rounds; ++r) {
        const bool stopPass = stopPasses(random);
        const int delayUs = delaysUs(random);
        Round round;
        ++s.rounds;
        ++(stopPass ? s.inStop : s.inStart);

        std::string error;
        if (!running && !(running = app.Launch(error))) round.FailStep("start: " + error);
        const ValueMap before =
            running ? KillDuringPass(app, stopPass, delayUs, round) : ReadGamePingValues();
        const ValueMap afterKill = ReadGamePingValues();
        const bool leftAllOn = AllOn(afterKill);
        s.leftAllOn += leftAllOn;
        CountLanding(before, afterKill, baseline, stopPass, s);

        running = BringBack(app, leftAllOn, looks, round, s);
        const bool clean = CheckRestored(baseline, round, s);
        s.stepFailures += round.stepFailed;

        if (!round.failures.empty()) {
            std::printf(
                "kill round %d (%s pass, killed %.3f ms after the press, the fresh start"
                " showed %s):\n",
                r, stopPass ? "STOP" : "START", delayUs / 1000.0, ShownName(round.shownAfterKill));
            for (const std::string& f : round.failures) std::printf("    %s\n", f.c_str());
            std::fflush(stdout);
        }
        // A round that left the machine off its baseline would spoil every later one.
        if (!clean) {
            app.Kill();
            running = false;
            PutBack(baseline);
        }
    }
    app.Kill();
    return s;
}

}  // namespace tvx::soak
