// What one soak run does: how many seeds, presses, kills and passes, from which first seed.
#pragma once

#include <cstdint>
#include <string>

namespace tvx::soak {

struct Options {
    int seeds = 5;
    int presses = 200;
    int kills = 50;
    int leakPasses = 200;
    // Interface keys in all (the prefix has three; the soak adds empty ones up to this).
    int interfaces = 32;
    std::uint32_t firstSeed = 20261209;
    // Only end leftover copies and take the soak's values out of the registry (after an
    // interrupted run).
    bool cleanupOnly = false;
};

inline constexpr int kEarlyLeakPasses = 10;

// Parses the arguments after the program name; false with a reason in `error` on anything
// unknown or out of range. --quick sets the small counts; options after it still apply.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);

}  // namespace tvx::soak
