// The soak: the built program under Wine with the toast and connection-manager stand-ins (one
// disconnected connection, so passes never pause), pressed, killed and run for minutes. Prints
// Markdown tables for the README and exits 1 when a check failed (2 when it could not run).
//
//   soak_driver [--quick] [--seeds N] [--presses N] [--kills N] [--leak-passes N]
//               [--interfaces N] [--seed S]
//   soak_driver --cleanup     ends leftover copies and takes the soak's values out again
#include <cstdio>

#include "bench/bench_clock.h"
#include "bench/soak/phases.h"
#include "bench/soak/soak_options.h"
#include "bench/soak/soak_report.h"
#include "tests/support/netcon_double.h"
#include "tests/support/toast_double.h"

namespace {

using namespace tvx::soak;

// The looks of both button states, from a copy that goes START -> STOP -> START.
bool CaptureLooks(const ValueMap& baseline, PassRecords& records, ButtonLooks& looks,
                  std::string& error) {
    SoakApp app(records);
    if (!app.Launch(error)) return false;
    looks.start = app.StableButton();
    app.Press();
    if (!app.Settle() || !AllOn(ReadGamePingValues())) {
        error = "the first START did not settle with every value on";
        return false;
    }
    looks.stop = app.StableButton();
    if (looks.start.pixels.empty() || LooksAlike(looks.start, looks.stop)) {
        error = "cannot tell the START button from the STOP button";
        return false;
    }
    app.Press();
    if (!app.Settle() || !Differences(baseline, ReadGamePingValues()).empty()) {
        error = "the first STOP did not settle with the values back";
        return false;
    }
    if (app.ShownState(looks) != Shown::Start) {
        error = "the button does not show START again after STOP";
        return false;
    }
    return true;
}

// The next phase needs the baseline: put it back when a phase could not.
void KeepBaseline(const ValueMap& baseline) {
    if (Differences(baseline, ReadGamePingValues()).empty() &&
        ReadStore().state != StoreState::Holding) {
        return;
    }
    std::printf("(the registry was off its baseline after a phase; written again)\n");
    PutBack(baseline);
}

int Run(const Options& options) {
    const double begin = tvx::bench::SecondsNow();
    std::string error;
    const ValueMap baseline = PrepareMachine(options.interfaces, error);
    if (baseline.empty()) {
        std::printf("cannot prepare the registry: %s\n", error.c_str());
        return 2;
    }
    tvx::test::ToastDoubleSession toasts;
    // One disconnected connection: every pass asks it to connect, none waits for a reconnect.
    tvx::test::NetconDoubleSession netcon({"0 Ethernet"});
    if (!toasts.registered() || !netcon.registered()) {
        std::printf("the toast or connection-manager stand-in could not be registered\n");
        return 2;
    }
    PassRecords records(toasts.logPath(), netcon.logPath());

    ButtonLooks looks;
    if (!CaptureLooks(baseline, records, looks, error)) {
        std::printf("cannot begin: %s\n", error.c_str());
        return 2;
    }
    std::printf("button looks captured; START and STOP apply and revert\n");

    Report report;
    report.options = options;
    std::printf("process figures: %d passes...\n", options.leakPasses);
    std::fflush(stdout);
    report.leaks = RunLeakPasses(options.leakPasses, baseline, records);
    report.killDelayMs = LeakResult::Median(report.leaks.passMs);
    KeepBaseline(baseline);

    for (int i = 0; i < options.seeds; ++i) {
        const std::uint32_t seed = options.firstSeed + static_cast<std::uint32_t>(i);
        std::printf("presses: seed %u...\n", seed);
        std::fflush(stdout);
        report.seeds.push_back(RunPressSeed(seed, options.presses, looks, baseline, records));
        const SeedResult& s = report.seeds.back();
        std::printf("  %d presses, %d passes ran, shows %s, registry agrees %s, %.1f s%s%s\n",
                    s.presses, s.passes, ShownName(s.shown), s.agree ? "yes" : "no", s.seconds,
                    s.problem.empty() ? "" : ": ", s.problem.c_str());
        KeepBaseline(baseline);
    }

    if (options.kills > 0) {
        if (report.killDelayMs <= 0) {
            std::printf("no pass length measured: kill rounds skipped\n");
        } else {
            std::printf("kills: %d rounds, 0 to %.1f ms after the press...\n", options.kills,
                        report.killDelayMs);
            std::fflush(stdout);
            report.kills = RunKillRounds(options.firstSeed, options.kills, report.killDelayMs,
                                         looks, baseline, records);
            report.killsRan = true;
        }
    }

    report.launchesWithoutBox = SoakApp::LaunchesWithoutBox();
    report.seconds = tvx::bench::SecondsNow() - begin;
    PrintReport(report);

    bool ok = LeaksOk(report.leaks) && (report.killsRan || options.kills == 0);
    for (const SeedResult& s : report.seeds) ok = ok && s.ok();
    if (report.killsRan) ok = ok && report.kills.ok();
    std::printf("\nsoak: %s\n", ok ? "every check passed" : "CHECKS FAILED");
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 4096);
    Options options;
    std::string error;
    if (!ParseOptions(argc - 1, argv + 1, options, error)) {
        std::printf("soak_driver: %s\n", error.c_str());
        return 2;
    }
    int status = 0;
    if (!options.cleanupOnly) status = Run(options);
    // Whatever happened, no copy stays and nothing of the soak stays in the registry.
    ClearMachine();
    tvx::test::UnregisterNetconDouble();
    tvx::test::UnregisterToastDouble();
    return status;
}
