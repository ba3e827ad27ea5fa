// Reports to the usage-counter server: a GET of a fixed URL whose reply is read and dropped.
#pragma once

#include <string>

namespace tvx {

// Every failure is silent, a session that cannot be opened at all included, and the whole
// request ends within its deadline.
void ReportUsage(std::wstring url);

// The start of the online sequence: the launch record, the daily report when the day is new, and
// the per-run report.
void SendStartupReports();

}  // namespace tvx
