#include "bench/soak/soak_report.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace tvx::soak {

namespace {

using WineVersion = const char*(__cdecl*)();

std::string MachineLine() {
    std::string wine = "not Wine";
    if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll")) {
        auto version = reinterpret_cast<WineVersion>(
            reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
        if (version) wine = std::string("Wine ") + version();
    }
    return std::to_string(::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)) + " cores, " + wine;
}

std::string FigureText(const Figure& f) {
    return f.answered ? std::to_string(f.value) : "no answer";
}

struct Growth {
    bool known = false;
    long long value = 0;
};
Growth GrowthOf(const Figure& early, const Figure& late) {
    if (!early.answered || !late.answered) return {};
    return {true, static_cast<long long>(late.value) - static_cast<long long>(early.value)};
}

// `discount`: growth that is Wine's and not the program's, taken off before the limit applies.
void PrintFigureRow(const char* name, const Figure& early, const Figure& late, DWORD limit,
                    long long discount = 0) {
    const Growth g = GrowthOf(early, late);
    char growth[32] = "-";
    if (g.known) std::snprintf(growth, sizeof growth, "%+lld", g.value);
    std::string result;
    if (!g.known) {
        const DWORD error = early.answered ? late.error : early.error;
        result = error ? "not measured: the call fails (error " + std::to_string(error) + ")"
                       : std::string("not measured: the call answers 0");
    } else if (limit == 0) {
        result = "for information";
    } else {
        result = g.value - discount <= static_cast<long long>(limit) ? "ok" : "FAIL";
        if (discount) {
            char net[96];
            std::snprintf(net, sizeof net, " (%+lld without the %lld keys of Wine's activations)",
                          g.value - discount, discount);
            result += net;
        }
    }
    std::printf("| %s | %s | %s | %s | %s | %s |\n", name, FigureText(early).c_str(),
                FigureText(late).c_str(), growth, limit ? std::to_string(limit).c_str() : "-",
                result.c_str());
}

}  // namespace

bool LeaksOk(const LeakResult& leaks) {
    if (!leaks.problem.empty()) return false;
    auto within = [](const Figure& e, const Figure& l, DWORD limit, long long discount = 0) {
        const Growth g = GrowthOf(e, l);
        return !g.known || g.value - discount <= static_cast<long long>(limit);
    };
    const long long keys = leaks.HandleDiscount();
    return within(leaks.early.handles, leaks.late.handles, kHandleGrowthLimit, keys) &&
           within(leaks.early.handleList, leaks.late.handleList, kHandleGrowthLimit, keys) &&
           within(leaks.early.gdi, leaks.late.gdi, kGdiGrowthLimit) &&
           within(leaks.early.user, leaks.late.user, kUserGrowthLimit);
}

void PrintReport(const Report& r) {
    std::printf("\n#### Presses: START/STOP at random intervals of 0 to 300 ms\n\n");
    std::printf(
        "| Seed | Presses | Passes run | Shown at the end | Registry agrees | Time | Result |\n");
    std::printf("|---:|---:|---:|---|---|---:|---|\n");
    for (const SeedResult& s : r.seeds) {
        std::string result = "ok";
        if (!s.ok()) {
            result = "FAIL: " + (!s.problem.empty() ? s.problem
                                 : !s.settled       ? std::string("did not settle")
                                              : std::string("expected ") + ShownName(s.expected));
        }
        std::printf("| %u | %d | %d | %s | %s | %.1f s | %s |\n", s.seed, s.presses, s.passes,
                    ShownName(s.shown), s.agree ? "yes" : "no", s.seconds, result.c_str());
    }

    if (r.killsRan) {
        const KillSummary& k = r.kills;
        std::printf(
            "\n#### Kills: TerminateProcess 0 to %.1f ms after a press, a fresh start,"
            " then STOP\n\n",
            r.killDelayMs);
        std::printf(
            "| Rounds | Killed in START / STOP passes | Landed before / part-way /"
            " after the writes | Restored exactly | Leftovers | Backup store after STOP |"
            " Fresh start showed STOP where game ping was left on | Result |\n");
        std::printf("|---:|---|---|---:|---:|---|---|---|\n");
        std::string result;
        auto add = [&](int n, const std::string& what) {
            if (n) result += (result.empty() ? "FAIL: " : "; ") + std::to_string(n) + what;
        };
        add(k.rounds - k.restored, " not restored");
        add(k.leftovers, " with leftovers");
        add(k.leftAllOn - k.showedStopAfter, " showed START with game ping left on");
        add(k.stepFailures, " with a failed step");
        std::printf(
            "| %d | %d / %d | %d / %d / %d | %d | %d | gone %d, empty %d | %d of %d%s | %s |\n",
            k.rounds, k.inStart, k.inStop, k.landedBefore, k.landedPartway, k.landedAfter,
            k.restored, k.leftovers, k.storeGone, k.storeEmpty, k.showedStopAfter, k.leftAllOn,
            k.showedStopOther
                ? (" (and " + std::to_string(k.showedStopOther) + " elsewhere)").c_str()
                : "",
            result.empty() ? "ok" : result.c_str());
        if (k.stepFailures)
            std::printf("\n%d rounds had a step fail (start, settle, shown state): see above.\n",
                        k.stepFailures);
    }

    const LeakResult& l = r.leaks;
    std::printf("\n#### Process figures: after %d and after %d passes, each waited for\n\n",
                kEarlyLeakPasses, l.passes);
    std::printf("| Figure | After %d | After %d | Growth | Limit | Result |\n", kEarlyLeakPasses,
                l.passes);
    std::printf("|---|---:|---:|---:|---:|---|\n");
    PrintFigureRow("Handles (GetProcessHandleCount)", l.early.handles, l.late.handles,
                   kHandleGrowthLimit, l.HandleDiscount());
    PrintFigureRow("Handles (system handle list)", l.early.handleList, l.late.handleList,
                   kHandleGrowthLimit, l.HandleDiscount());
    PrintFigureRow("GDI objects (GetGuiResources)", l.early.gdi, l.late.gdi, kGdiGrowthLimit);
    PrintFigureRow("USER objects (GetGuiResources)", l.early.user, l.late.user, kUserGrowthLimit);
    PrintFigureRow("Threads (toolhelp snapshot)", l.early.threads, l.late.threads, 0);
    std::map<std::string, long long> growthByType;
    for (const auto& [type, n] : l.late.handleTypes) growthByType[type] += n;
    for (const auto& [type, n] : l.early.handleTypes) growthByType[type] -= n;
    std::string byType;
    for (const auto& [type, growth] : growthByType) {
        if (growth == 0) continue;
        char item[96];
        std::snprintf(item, sizeof item, "%s%s %+lld", byType.empty() ? "" : ", ", type.c_str(),
                      growth);
        byType += item;
    }
    if (!byType.empty()) std::printf("\nHandle list growth by type: %s.\n", byType.c_str());
    std::printf(
        "\nWine's RoGetActivationFactory leaves %.2f registry keys open per call (measured"
        " in the soak's own process with the toast stand-in); the toasts made %d"
        " activations between the two readings.\n",
        l.keysPerActivation, l.activationsBetween);
    if (!l.problem.empty()) std::printf("\nProcess figures: %s\n", l.problem.c_str());
    std::printf(
        "\nFrom the press (medians of %zu passes): first registry write %.2f ms, last"
        " %.2f ms, end of the pass %.2f ms.\n",
        l.passMs.size(), LeakResult::Median(l.firstWriteMs), LeakResult::Median(l.lastWriteMs),
        LeakResult::Median(l.passMs));

    std::printf("\nSeeds: presses %u", r.options.firstSeed);
    if (r.options.seeds > 1)
        std::printf(" to %u", r.options.firstSeed + static_cast<unsigned>(r.options.seeds) - 1);
    std::printf(
        ", kills %u. Registry: %d interface keys (the prefix's three, holding a REG_DWORD"
        " 2, a REG_SZ and a REG_BINARY TcpAckFrequency, and %d empty ones). Machine: %s."
        " Soak time: %.0f s.\n",
        r.options.firstSeed, std::max(r.options.interfaces, 3),
        std::max(r.options.interfaces, 3) - 3, MachineLine().c_str(), r.seconds);
    if (r.launchesWithoutBox)
        std::printf(
            "Note: %d starts raised no message box from the start-up sequence (a server"
            " answered at the built-in address?).\n",
            r.launchesWithoutBox);
}

}  // namespace tvx::soak
