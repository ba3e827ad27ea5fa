// The soak's closing report: Markdown tables to paste into the README's reliability section,
// the seeds, and the machine.
#pragma once

#include <string>
#include <vector>

#include "bench/soak/phases.h"
#include "bench/soak/soak_options.h"

namespace tvx::soak {

struct Report {
    Options options;
    std::vector<SeedResult> seeds;
    bool killsRan = false;
    KillSummary kills;
    LeakResult leaks;
    double killDelayMs = 0;  // kills land 0 to this after the press
    int launchesWithoutBox = 0;
    double seconds = 0;
};

// Growth limits of the leak check.
inline constexpr DWORD kHandleGrowthLimit = 8;
inline constexpr DWORD kGdiGrowthLimit = 4;
inline constexpr DWORD kUserGrowthLimit = 4;

// True when every check that could be made passed.
bool LeaksOk(const LeakResult& leaks);
void PrintReport(const Report& report);

}  // namespace tvx::soak
