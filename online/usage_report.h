// Reports to the usage-counter server: a GET of a fixed URL whose reply is read and dropped.
#pragma once

#include <string>

namespace tvx {

// Every failure of the request is silent. Only a session that cannot be opened at all escapes,
// as CInternetException.
void ReportUsage(std::wstring url);

}  // namespace tvx
