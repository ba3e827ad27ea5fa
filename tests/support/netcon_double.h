// The network connection manager stand-in (tests/doubles/netcon), registered in the test
// prefix's registry under the system's class id.
//
// Connections: the text file named by TARNIVEX_NETCON_CONFIG (UTF-8), read again at every
// EnumConnections, one connection a line:
//     <status>[!] <name>
// status is the NETCON_STATUS number (0 disconnected, 2 connected, 7 media disconnected, ...);
// a '!' right after it makes Disconnect fail with E_FAIL. A line "fail-enum" makes
// EnumConnections fail; lines starting with '#' are ignored. No variable or no file: no
// connections.
//
// Records: appended to the file named by TARNIVEX_NETCON_LOG (UTF-8), one a line:
//     <event> <thread id> <FILETIME ticks> <detail>
// events: create-manager, enum (detail: the flags), enum-failed, next (detail: how many were
// handed out), properties, disconnect, disconnect-failed, connect, release-connection (detail:
// the connection's name), release-enum, release-manager. The clock
// (GetSystemTimePreciseAsFileTime) is the one the toast stand-in's records use.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvx::test {

// Where the build put the stand-in, as a Windows path.
std::wstring NetconDoubleDllPath();

// HKCR\CLSID\{BA126AD1-...}\InprocServer32 = dllPath, ThreadingModel Both.
bool RegisterNetconDouble(const std::wstring& dllPath = NetconDoubleDllPath());
void UnregisterNetconDouble();

// Writes the connection list to a file in the temporary folder and exports its path as
// TARNIVEX_NETCON_CONFIG (children started afterwards inherit it).
std::wstring UseNetconConfig(const std::vector<std::string>& lines);
// A fresh, empty record file in the temporary folder, exported as TARNIVEX_NETCON_LOG.
std::wstring UseFreshNetconLog(const std::wstring& name);

struct NetconRecord {
    std::string event;
    DWORD threadId = 0;
    unsigned long long ticks = 0;  // 100 ns units
    std::wstring detail;
};

std::vector<NetconRecord> ReadNetconLog(const std::wstring& logPath);

// The connections the records show taken down, and those of them never connected again after.
struct DisconnectTally {
    int down = 0;
    std::vector<std::wstring> leftDown;
};
DisconnectTally TallyDisconnects(const std::vector<NetconRecord>& records);

// Registration, the connection list and a fresh record file for one test; the registration and
// both variables are removed at destruction.
class NetconDoubleSession {
public:
    explicit NetconDoubleSession(const std::vector<std::string>& connections);
    ~NetconDoubleSession();
    NetconDoubleSession(const NetconDoubleSession&) = delete;
    NetconDoubleSession& operator=(const NetconDoubleSession&) = delete;

    bool registered() const { return registered_; }
    const std::wstring& logPath() const { return logPath_; }
    std::vector<NetconRecord> Records() const { return ReadNetconLog(logPath_); }

private:
    bool registered_ = false;
    std::wstring logPath_;
};

}  // namespace tvx::test
