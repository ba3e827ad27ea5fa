// Working-set trim: every process that can be opened is asked to give up its working set, and
// each one that shrank is named on the debugger output channel.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tvx {

void TrimAllWorkingSets();

// The debugger line for one process, or nothing when its working set did not shrink.
std::optional<std::wstring> FormatTrimLine(std::wstring_view exeName, ULONGLONG before,
                                           ULONGLONG after);

// What one walk did; lets tests and the benchmark see that it reached the end of the snapshot.
struct TrimWalkCounts {
    std::size_t entries = 0;  // snapshot entries visited
    std::size_t opened = 0;   // processes opened and measured
    std::size_t lines = 0;    // debugger lines written
};

// Watches a walk. BeforeOpen runs for each entry just before the process is opened.
class TrimObserver {
public:
    virtual ~TrimObserver() = default;
    virtual void BeforeOpen(DWORD /*processId*/) {}
    virtual void Visited(DWORD /*processId*/, bool /*opened*/) {}
};

// The walk behind TrimAllWorkingSets.
TrimWalkCounts TrimWorkingSets(TrimObserver* observer);

// The observer TrimAllWorkingSets hands to the walk (none unless set); returns the previous one.
TrimObserver* SetTrimObserver(TrimObserver* observer);

}  // namespace tvx
