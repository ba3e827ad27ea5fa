// The soak's phases and what each one found. Every phase starts its own copies of the program
// and leaves the registry as the baseline it was given (or says it could not).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/soak/machine_state.h"
#include "bench/soak/process_figures.h"
#include "bench/soak/soak_app.h"

namespace tvx::soak {

// Presses at random intervals on one copy, then the shown state against the registry.
struct SeedResult {
    std::uint32_t seed = 0;
    int presses = 0;
    int passes = 0;  // passes that got their turn (toast shows)
    bool settled = false;
    Shown shown = Shown::Unknown;
    Shown expected = Shown::Unknown;  // from the number of presses
    bool agree = false;               // shown state and registry say the same
    double seconds = 0;
    std::string problem;  // why the seed could not run, or what disagreed
    bool ok() const { return problem.empty() && settled && agree && shown == expected; }
};
SeedResult RunPressSeed(std::uint32_t seed, int presses, const ButtonLooks& looks,
                        const ValueMap& baseline, PassRecords& records);

// Kills at random points of START and STOP passes, each followed by a fresh start that is
// brought back to START.
struct KillSummary {
    std::uint32_t seed = 0;
    int rounds = 0;
    int inStart = 0;
    int inStop = 0;
    // Where the kills landed, from the values they left: none changed yet, some, or all.
    int landedBefore = 0;
    int landedPartway = 0;
    int landedAfter = 0;
    int restored = 0;   // rounds that gave every planted value back exactly
    int leftovers = 0;  // rounds that left a game-ping value or a store entry of ours
    int storeGone = 0;
    int storeEmpty = 0;
    // Game ping left on by the killed copy (every value 1) must show as STOP on the next start.
    int leftAllOn = 0;
    int showedStopAfter = 0;  // of those, fresh starts that showed STOP
    int showedStopOther = 0;  // fresh starts that showed STOP although not every value was on
    int stepFailures = 0;     // rounds where starting, settling or the shown state went wrong
    bool ok() const {
        return restored == rounds && leftovers == 0 && showedStopAfter == leftAllOn &&
               stepFailures == 0;
    }
};
// Delays are drawn from 0 to passMs, in microseconds.
KillSummary RunKillRounds(std::uint32_t seed, int rounds, double passMs, const ButtonLooks& looks,
                          const ValueMap& baseline, PassRecords& records);

// Process figures after a few passes and after many, each pass waited for.
struct LeakResult {
    int passes = 0;
    LeakFigures early, late;
    // From each press: to its first and its last registry write, and to the pass's end.
    std::vector<double> firstWriteMs, lastWriteMs, passMs;
    // Wine's RoGetActivationFactory leaves a registry key open per call: measured in the soak's
    // own process, and taken off the program's handle growth for the activations in between.
    double keysPerActivation = 0;
    int activationsBetween = 0;
    std::string problem;
    long long HandleDiscount() const {
        return static_cast<long long>(keysPerActivation * activationsBetween + 0.5);
    }
    static double Median(std::vector<double> v);
};
LeakResult RunLeakPasses(int passes, const ValueMap& baseline, PassRecords& records);

}  // namespace tvx::soak
