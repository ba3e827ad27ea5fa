// A thin internet layer over WinINet in the framework's manner: a session, the response of an
// opened URL, and the exception both raise. Only what the online sequence uses is here.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "framework/scoped.h"

// Raised when WinINet refuses: m_dwError is GetLastError() of the failed call.
class CInternetException {
public:
    CInternetException(DWORD_PTR context, DWORD error) : m_dwContext(context), m_dwError(error) {}
    DWORD_PTR m_dwContext;
    DWORD m_dwError;
};

// The response of an HTTP(S) URL opened by a session. Closing is idempotent; the destructor
// closes too, so an exception path leaks nothing.
class CHttpFile {
public:
    CHttpFile(tvx::UniqueInternet connection, tvx::UniqueInternet request, DWORD_PTR context)
        : m_connection(std::move(connection)), m_request(std::move(request)), m_context(context) {}
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Up to `count` bytes of the body; 0 at its end. Throws CInternetException.
    UINT Read(void* buffer, UINT count);
    // One line of the body, without its line break (a CR before the LF is dropped as well).
    // A line longer than maxBytes is cut there, so a hostile reply cannot grow it without end.
    // False when the body had already ended. Throws CInternetException.
    bool ReadString(std::string& line, std::size_t maxBytes = 64 * 1024);
    // HTTP status code of the response (0 when unknown).
    DWORD GetStatusCode() const;
    void Close() {
        m_request.reset();
        m_connection.reset();
    }

private:
    tvx::UniqueInternet m_connection;
    tvx::UniqueInternet m_request;  // closed before its connection
    DWORD_PTR m_context;
};

class CInternetSession {
public:
    // The user agent defaults to the application name. Throws CInternetException when WinINet
    // cannot open a session at all.
    explicit CInternetSession(const wchar_t* agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                              const wchar_t* proxyName = nullptr,
                              const wchar_t* proxyBypass = nullptr, DWORD flags = 0);
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // Connect, send and receive time-outs in milliseconds, for the session and every request
    // opened from it. WinINet's own defaults let a stalled server hold the caller for minutes.
    void SetTimeouts(DWORD milliseconds);

    // Sends a GET for an http or https URL and returns its response; any other scheme gives no
    // response object (null). Throws CInternetException when the request fails.
    std::unique_ptr<CHttpFile> OpenURL(const std::wstring& url, DWORD_PTR context = 1,
                                       DWORD flags = 0, const wchar_t* headers = nullptr,
                                       DWORD headersLength = 0);
    void Close() { m_session.reset(); }
    HINTERNET GetHandle() const { return m_session.get(); }

private:
    void ApplyTimeouts(HINTERNET handle) const;

    tvx::UniqueInternet m_session;
    DWORD_PTR m_context;
    DWORD m_timeoutMs = 0;  // 0: WinINet's defaults
};
