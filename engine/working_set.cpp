#include "engine/working_set.h"

#include <psapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <atomic>

#include "framework/scoped.h"

namespace tvx {
namespace {

// All four rights are asked for together: a process that refuses any of them is passed over,
// even when the trim alone would have been allowed.
constexpr DWORD kTrimAccess =
    PROCESS_QUERY_INFORMATION | PROCESS_SET_QUOTA | PROCESS_VM_READ | PROCESS_TERMINATE;
constexpr UINT kSizeTextLength = 32;

std::atomic<TrimObserver*> g_observer{nullptr};

}  // namespace

std::optional<std::wstring> FormatTrimLine(std::wstring_view exeName, ULONGLONG before,
                                           ULONGLONG after) {
    if (before <= after) return std::nullopt;
    wchar_t freed[kSizeTextLength] = {};
    ::StrFormatByteSizeW(static_cast<LONGLONG>(before - after), freed, kSizeTextLength);
    // The line carries no line feed of its own.
    std::wstring line = L"[최적화] 프로세스: ";
    line.append(exeName);
    line += L" (해제: ";
    line += freed;
    line += L')';
    return line;
}

TrimWalkCounts TrimWorkingSets(TrimObserver* observer) {
    TrimWalkCounts counts;
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return counts;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        ++counts.entries;
        if (observer) observer->BeforeOpen(entry.th32ProcessID);
        // The idle and system entries, protected processes and processes that ended after the
        // snapshot all fail here.
        UniqueHandle process(::OpenProcess(kTrimAccess, FALSE, entry.th32ProcessID));
        PROCESS_MEMORY_COUNTERS memory{};
        const bool measured =
            process && ::K32GetProcessMemoryInfo(process.get(), &memory, sizeof memory);
        if (measured) {
            ++counts.opened;
            const ULONGLONG before = memory.WorkingSetSize;
            ::K32EmptyWorkingSet(process.get());
            // When this reading fails the record keeps the first one, so nothing is reported.
            ::K32GetProcessMemoryInfo(process.get(), &memory, sizeof memory);
            if (auto line = FormatTrimLine(entry.szExeFile, before, memory.WorkingSetSize)) {
                ::OutputDebugStringW(line->c_str());
                ++counts.lines;
            }
        }
        if (observer) observer->Visited(entry.th32ProcessID, measured);
    }
    return counts;
}

TrimObserver* SetTrimObserver(TrimObserver* observer) { return g_observer.exchange(observer); }

void TrimAllWorkingSets() { TrimWorkingSets(g_observer.load()); }

}  // namespace tvx
