// Drives the development server from a test: its address, its switches and its counters. Plain
// WinINet, independent of the program's own internet layer. The switches and counters are on
// the server's control port (TARNIVEX_TEST_CONTROL_SERVER), which stays up while the public
// port (TARNIVEX_TEST_SERVER) is switched off.
#pragma once

#include <windows.h>

#include <string>

namespace tvx::test {

// TARNIVEX_TEST_SERVER followed by the path.
std::wstring ServerUrl(const std::wstring& path);
// The same path on the server's plain HTTP port (the public port + 2).
std::wstring PlainServerUrl(const std::wstring& path);

// Counts to zero, every switch back to its default, the public port listening.
void ResetServer();
// Sets one switch (update, count_body, mode, delay, huge_mib, files_mode, trickle_interval) to
// the given bytes.
void ConfigureServer(const std::string& key, const std::string& value);
// Off: nothing listens on the public port (connections are refused at once, as when no server
// runs) and its open connections are cut. On: it listens again.
void SetListening(bool on);
// How many reports with this flag arrived since the last reset.
int ReportCount(const std::string& flag);
// How many requests for this path (e.g. "/app/update/client.php") arrived since the last reset.
int RequestCount(const std::string& path);

// A server that cannot be reached for the life of this object: its public port is off, and
// on again afterwards even when the test fails half-way.
class ServerNotListening {
public:
    ServerNotListening() { SetListening(false); }
    ~ServerNotListening() {
        try {
            SetListening(true);
        } catch (...) {
            // The next case's ResetServer() switches it on again.
        }
    }
    ServerNotListening(const ServerNotListening&) = delete;
    ServerNotListening& operator=(const ServerNotListening&) = delete;
};

}  // namespace tvx::test
