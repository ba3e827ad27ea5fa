// Starting programs from tests: the test's own folder, and a child run with its standard output
// captured through a pipe.
#pragma once

#include <windows.h>

#include <string>

#include "framework/scoped.h"

namespace tvx::test {

// Folder of the running test executable, with a trailing backslash.
std::wstring ExeDir();

struct ProcessResult {
    DWORD exitCode = static_cast<DWORD>(-1);
    std::string output;  // raw bytes of standard output
    bool timedOut = false;
};

// A child whose standard output is the write end of a pipe that we read from `output`.
struct CapturedProcess {
    UniqueHandle process;
    UniqueHandle thread;
    UniqueHandle output;
};

// Starts the command line; false (with GetLastError set) when it cannot start.
bool StartCaptured(const std::wstring& commandLine, CapturedProcess& child);

// Runs the command line and waits (at most timeoutMs) while reading its standard output.
ProcessResult RunCapture(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Decodes UTF-8 bytes (for comparing captured output with wide literals).
std::wstring FromUtf8(const std::string& bytes);

}  // namespace tvx::test
