// Cost of switching game ping on and off per interface key, against the same registry changes
// made bare. Runs under the build's Wine prefix, adds N interface keys for each round and removes
// them again; the helpers' lines go into a pipe that a thread drains, as they would into a
// redirected standard output.
//
// Figures per round (per value written and deleted, in microseconds, best of several
// repetitions; "keys" counts the interface keys, the prefix's own ones included):
//   bare      create+set+close, then open+delete+close, on precomputed paths, nothing printed
//   helpers   the plain walk (enumerate, test open) calling SetRegistryDword/DeleteRegistryValue
//   tuning    ApplyTcpTuning + RevertTcpTuning, backup included
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/registry_values.h"
#include "engine/tcp_tuning.h"
#include "framework/scoped.h"
#include "bench/bench_clock.h"

namespace {

constexpr wchar_t kBenchPrefix[] = L"{B0000000-BE9C-4000-8000-";

double Now() { return tvx::bench::SecondsNow(); }

std::wstring BenchName(int i) {
    wchar_t tail[16];
    swprintf(tail, 16, L"%012d}", i);
    return std::wstring(kBenchPrefix) + tail;
}

std::wstring InterfacePath(const std::wstring& name) {
    return std::wstring(tvx::kInterfacesKey) + L"\\" + name;
}

std::vector<std::wstring> InterfacePaths() {
    std::vector<std::wstring> paths;
    tvx::UniqueKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey, 0, KEY_READ, key.put()) != 0) {
        return paths;
    }
    wchar_t name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD size = MAX_PATH;
        const LSTATUS rc =
            ::RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_SUCCESS) paths.push_back(InterfacePath(std::wstring(name, size)));
    }
    return paths;
}

void AddInterfaces(int count) {
    for (int i = 0; i < count; ++i) {
        tvx::UniqueKey key;
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, InterfacePath(BenchName(i)).c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    }
}

void RemoveInterfaces(int count) {
    for (int i = 0; i < count; ++i) {
        ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, InterfacePath(BenchName(i)).c_str());
    }
}

void BareRound(const std::vector<std::wstring>& paths) {
    const DWORD one = 1;
    for (const std::wstring& path : paths) {
        tvx::UniqueKey key;
        if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr) == ERROR_SUCCESS) {
            ::RegSetValueExW(key.get(), tvx::kAckFrequencyValue, 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&one), sizeof one);
        }
    }
    for (const std::wstring& path : paths) {
        tvx::UniqueKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueW(key.get(), tvx::kAckFrequencyValue);
        }
    }
}

template <typename Helper>
void HelperWalk(Helper helper) {
    tvx::UniqueKey interfaces;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, tvx::kInterfacesKey, 0, KEY_READ, interfaces.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    wchar_t name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD size = MAX_PATH;
        const LSTATUS rc =
            ::RegEnumKeyExW(interfaces.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        tvx::UniqueKey sub;
        if (::RegOpenKeyExW(interfaces.get(), name, 0, KEY_READ, sub.put()) != ERROR_SUCCESS) {
            continue;
        }
        sub.reset();
        helper(InterfacePath(std::wstring(name, size)).c_str(), tvx::kAckFrequencyValue);
    }
}

void HelperRound() {
    tvx::SetRegistryDword(tvx::kMsmqKey, tvx::kNoDelayValue);
    HelperWalk(tvx::SetRegistryDword);
    tvx::DeleteRegistryValue(tvx::kMsmqKey, tvx::kNoDelayValue);
    HelperWalk(tvx::DeleteRegistryValue);
}

void TuningRound() {
    tvx::ApplyTcpTuning();
    tvx::RevertTcpTuning();
}

// Seconds one call of the round takes.
template <typename Round>
double Time(Round round) {
    const double start = Now();
    round();
    return Now() - start;
}

}  // namespace

int wmain() {
    // The helpers print into this pipe; a thread drains it so writes never block.
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, nullptr, 1 << 20)) return 1;
    const HANDLE console = ::GetStdHandle(STD_OUTPUT_HANDLE);
    std::thread drain([readEnd] {
        char buffer[8192];
        DWORD got = 0;
        while (::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        }
    });
    auto print = [console](const char* text) {
        DWORD written = 0;
        ::WriteFile(console, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    };

    char line[256];
    print("bench_tcp_tuning: per value set and deleted, microseconds, best of repetitions\n");
    print(
        "  keys    bare  helpers   tuning  tuning/bare  tuning/helpers |  quiet: helpers"
        "   tuning  tuning/helpers\n");
    for (const int added : {8, 64, 512}) {
        AddInterfaces(added);
        std::vector<std::wstring> paths = InterfacePaths();
        const size_t interfaces = paths.size();
        paths.emplace_back(tvx::kMsmqKey);  // the values: every interface and MSMQ
        const int repetitions = std::max(10, 2048 / added);
        // The variants take turns within each repetition, so a stretch of load on the machine
        // hits them alike; the best of each is kept.
        double bare = 1e30, helpers = 1e30, tuning = 1e30, helpersQuiet = 1e30, tuningQuiet = 1e30;
        ::SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
        TuningRound();  // warm-up: creates the backup store once
        for (int r = 0; r < repetitions; ++r) {
            ::SetStdHandle(STD_OUTPUT_HANDLE, writeEnd);
            bare = std::min(bare, Time([&] { BareRound(paths); }));
            helpers = std::min(helpers, Time(HelperRound));
            tuning = std::min(tuning, Time(TuningRound));
            // The same two without any output, to tell printing from registry work.
            ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
            helpersQuiet = std::min(helpersQuiet, Time(HelperRound));
            tuningQuiet = std::min(tuningQuiet, Time(TuningRound));
        }
        ::SetStdHandle(STD_OUTPUT_HANDLE, console);
        RemoveInterfaces(added);

        const double n = static_cast<double>(paths.size());
        snprintf(line, sizeof line,
                 "  %4zu  %6.1f  %7.1f  %7.1f  %11.2f  %14.2f |         %7.1f  %7.1f  %14.2f\n",
                 interfaces, bare / n * 1e6, helpers / n * 1e6, tuning / n * 1e6, tuning / bare,
                 tuning / helpers, helpersQuiet / n * 1e6, tuningQuiet / n * 1e6,
                 tuningQuiet / helpersQuiet);
        print(line);
    }
    ::CloseHandle(writeEnd);
    drain.join();
    ::CloseHandle(readEnd);
    return 0;
}
