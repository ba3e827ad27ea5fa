// The toast stand-in for tests: Wine has none of the toast runtime classes, so tests register
// tarnivex_toast_runtime.dll (built into <build>/doubles/) for them and read what it recorded.
//
// Use from a test's CMakeLists.txt:  add_dependencies(<test target> tarnivex_toast_runtime)
// so the DLL is built before the test runs. Typical test:
//
//     tvx::test::ToastDoubleSession toasts;          // registers, fresh log, sets the variable
//     ... run the code that shows a toast ...
//     auto shows = tvx::test::ToastShows(toasts.Lines());
//
// The DLL appends UTF-8 lines to the file named by the environment variable TARNIVEX_TOAST_LOG
// (nothing is recorded when it is unset; child processes inherit it). One record a line, fields
// separated by one space, the last field running to the end of the line:
//
//     created <object>                 an object came into being
//     final release <object>           its last reference went
//     notifier <application id>        CreateToastNotifierWithId was called
//     load <xml>                       LoadXml was called with exactly this text
//     show <thread id> <time> <application id> <xml>
//                                      Show was called: the calling thread's id, the time as
//                                      FILETIME units (100 ns since 1601, UTC, from
//                                      GetSystemTimePreciseAsFileTime), the notifier's
//                                      application id and the toast's document text
//
// <object> is one of ToastNotificationManager (the manager's factory), ToastNotifier,
// XmlDocumentFactory, XmlDocument, ToastNotificationFactory, ToastNotification. Every object
// was released when each one's "created" count equals its "final release" count.
//
// TARNIVEX_TOAST_FAIL = notifier | activate | load | create makes that step fail with an error
// result (CreateToastNotifierWithId, the document's activation, LoadXml,
// CreateToastNotification).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tvx::test {

// Windows path of the stand-in DLL: the nearest "doubles\tarnivex_toast_runtime.dll" found in
// the test program's folder or one of its parents; empty when there is none.
std::wstring ToastDoubleDllPath();

// Registers the three runtime classes with this DLL for the whole Wine prefix: value DllPath
// under HKLM "Software\Microsoft\WindowsRuntime\ActivatableClassId\<class>". True when all
// three were written. UnregisterToastDouble deletes the three keys again (Wine's default: not
// registered).
bool RegisterToastDouble(const std::wstring& dllPath);
void UnregisterToastDouble();

// The log's lines (without line ends); empty when the file does not exist.
std::vector<std::string> ReadToastLog(const std::wstring& logPath);

struct ToastShow {
    DWORD threadId = 0;
    std::uint64_t time = 0;  // FILETIME units
    std::wstring appId;
    std::wstring xml;
};
// The "show" records, in order.
std::vector<ToastShow> ToastShows(const std::vector<std::string>& lines);
// How many lines are exactly this text (for "created X" / "final release X").
int CountLines(const std::vector<std::string>& lines, const std::string& text);
// Objects whose "created" and "final release" counts differ, as "<object> created n released m".
std::vector<std::string> UnreleasedObjects(const std::vector<std::string>& lines);

// Registration, a fresh log file in the temporary folder and TARNIVEX_TOAST_LOG for this
// process (and the children it starts) for one test; all undone at destruction.
class ToastDoubleSession {
public:
    ToastDoubleSession();
    ~ToastDoubleSession();
    ToastDoubleSession(const ToastDoubleSession&) = delete;
    ToastDoubleSession& operator=(const ToastDoubleSession&) = delete;

    bool registered() const { return registered_; }
    const std::wstring& logPath() const { return logPath_; }
    std::vector<std::string> Lines() const { return ReadToastLog(logPath_); }

private:
    bool registered_ = false;
    std::wstring logPath_;
};

}  // namespace tvx::test
