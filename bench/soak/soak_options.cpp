#include "bench/soak/soak_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tvx::soak {

namespace {

bool ParseNumber(const char* text, long long low, long long high, long long& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.seeds = 1;
            options.presses = 20;
            options.kills = 5;
            options.leakPasses = 50;
            continue;
        }
        if (arg == "--cleanup") {
            options.cleanupOnly = true;
            continue;
        }
        struct Numeric {
            const char* name;
            long long low, high;
        };
        static const Numeric numerics[] = {
            {"--seeds", 0, 1000},      {"--presses", 0, 100000},
            {"--kills", 0, 10000},     {"--leak-passes", 2 * kEarlyLeakPasses, 100000},
            {"--interfaces", 3, 1000}, {"--seed", 0, 0xFFFFFFFFLL}};
        const Numeric* match = nullptr;
        for (const Numeric& n : numerics) {
            if (arg == n.name) match = &n;
        }
        long long value = 0;
        if (!match) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= argc || !ParseNumber(argv[i + 1], match->low, match->high, value)) {
            error = arg + " needs a number from " + std::to_string(match->low) + " to " +
                    std::to_string(match->high);
            return false;
        }
        ++i;
        if (arg == "--seeds") options.seeds = static_cast<int>(value);
        if (arg == "--presses") options.presses = static_cast<int>(value);
        if (arg == "--kills") options.kills = static_cast<int>(value);
        if (arg == "--leak-passes") options.leakPasses = static_cast<int>(value);
        if (arg == "--interfaces") options.interfaces = static_cast<int>(value);
        if (arg == "--seed") options.firstSeed = static_cast<std::uint32_t>(value);
    }
    return true;
}

}  // namespace tvx::soak
