// Drives the development server from a test: its address, its switches and its counters. Plain
// WinINet, independent of the program's own internet layer.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::test {

// TARNIVEX_TEST_SERVER followed by the path.
std::wstring ServerUrl(const std::wstring& path);

// Counts to zero and every switch back to its default.
void ResetServer();
// Sets one switch (update, count_body, mode, delay, huge_mib) to the given bytes.
void ConfigureServer(const std::string& key, const std::string& value);
// How many reports with this flag arrived since the last reset.
int ReportCount(const std::string& flag);
// How many requests for this path (e.g. "/app/update/client.php") arrived since the last reset.
int RequestCount(const std::string& path);

}  // namespace tvx::test
