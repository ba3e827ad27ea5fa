// The game-ping values: TcpAckFrequency = 1 under every TCP/IP interface key and TCPNoDelay = 1
// under the MSMQ key, all under HKEY_LOCAL_MACHINE.
#pragma once

#include "framework/scoped.h"

namespace tvx {

inline constexpr wchar_t kMsmqKey[] = L"SOFTWARE\\Microsoft\\MSMQ";
inline constexpr wchar_t kNoDelayValue[] = L"TCPNoDelay";
inline constexpr wchar_t kInterfacesKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
inline constexpr wchar_t kAckFrequencyValue[] = L"TcpAckFrequency";

// What one apply or revert achieved. A value counts as failed when it could not be written,
// restored or removed; a value that was already absent counts as removed.
struct TuningOutcome {
    unsigned failed = 0;
    bool ok() const { return failed == 0; }
};

// The tuning lock shared by every copy of the program (the window's passes, its exit, /revert):
// a named mutex only Administrators and SYSTEM may open. Apply and revert wait for it at most
// kTuningLockWaitMs; when they cannot get it they change nothing, report TuningBusyLine and
// count one failure.
inline constexpr wchar_t kTuningMutexName[] = L"Global\\TarnivexTuning";
inline constexpr wchar_t kTuningMutexSddl[] = L"O:BAD:P(A;;GA;;;BA)(A;;GA;;;SY)";
inline constexpr unsigned long kTuningLockWaitMs = 10000;

// That mutex, created with its DACL when no copy has it yet (not waited for); empty when it can
// be neither created nor opened.
UniqueHandle CreateTuningMutex();

TuningOutcome ApplyTcpTuning();
TuningOutcome RevertTcpTuning();

}  // namespace tvx
