#include "engine/report_line.h"

#include "framework/log_file.h"
#include "framework/std_output.h"

namespace tvx {

void ReportLine(std::wstring_view line) {
    WriteStdOut(line);
    AppendLogLine(line);
}

}  // namespace tvx
