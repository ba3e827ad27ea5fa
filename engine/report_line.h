// Where the engine's result lines go: standard output, as they always did, and the program's log,
// which is the only place a user of the windowed program can read them.
#pragma once

#include <string_view>

namespace tvx {

void ReportLine(std::wstring_view line);

}  // namespace tvx
