// A thin internet layer over WinINet in the framework's manner: a session, the response of an
// opened URL, and the exception both raise. Only what the online sequence uses is here.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// Raised when WinINet refuses: m_dwError is GetLastError() of the failed call.
class CInternetException {
public:
    CInternetException(DWORD_PTR context, DWORD error) : m_dwContext(context), m_dwError(error) {}
    DWORD_PTR m_dwContext;
    DWORD m_dwError;
};

namespace tvx {

// Every handle of one session, so that all of them can be closed at once from any thread: at the
// session's deadline, or when the user cancels. Closing a WinINet handle makes a call blocked on it
// (name resolution, connect, send, a read) fail at once, and every later call on it fail too.
class InternetCutoff {
public:
    InternetCutoff() = default;
    InternetCutoff(const InternetCutoff&) = delete;
    InternetCutoff& operator=(const InternetCutoff&) = delete;

    // Takes a freshly opened handle over. False, with the handle closed, after the cutoff.
    bool Adopt(HINTERNET handle);
    // Closes one adopted handle, unless the cutoff closed it already.
    void Close(HINTERNET handle);
    // Closes every adopted handle, newest first; nothing can be adopted any more.
    void CutNow();
    bool Cut() const;

private:
    mutable std::mutex mutex_;
    std::vector<HINTERNET> open_;
    bool cut_ = false;
};

// One adopted handle, closed through its cutoff.
class CutoffHandle {
public:
    CutoffHandle() = default;
    CutoffHandle(std::shared_ptr<InternetCutoff> cutoff, HINTERNET handle)
        : cutoff_(std::move(cutoff)), handle_(handle) {}
    ~CutoffHandle() { reset(); }
    CutoffHandle(CutoffHandle&& o) noexcept
        : cutoff_(std::move(o.cutoff_)), handle_(std::exchange(o.handle_, nullptr)) {}
    CutoffHandle& operator=(CutoffHandle&& o) noexcept {
        if (this != &o) {
            reset();
            cutoff_ = std::move(o.cutoff_);
            handle_ = std::exchange(o.handle_, nullptr);
        }
        return *this;
    }
    CutoffHandle(const CutoffHandle&) = delete;
    CutoffHandle& operator=(const CutoffHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void reset() {
        if (handle_) cutoff_->Close(std::exchange(handle_, nullptr));
    }

private:
    std::shared_ptr<InternetCutoff> cutoff_;
    HINTERNET handle_ = nullptr;
};

}  // namespace tvx

// The response of an HTTP(S) URL opened by a session. Closing is idempotent; the destructor
// closes too, so an exception path leaks nothing.
class CHttpFile {
public:
    CHttpFile(tvx::CutoffHandle connection, tvx::CutoffHandle request, DWORD_PTR context,
              std::shared_ptr<tvx::InternetCutoff> cutoff)
        : m_connection(std::move(connection)),
          m_request(std::move(request)),
          m_context(context),
          m_cutoff(std::move(cutoff)) {}
    ~CHttpFile() { Close(); }
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
    // A response header as text (HTTP_QUERY_LOCATION, ...); empty when absent.
    std::wstring QueryHeader(DWORD level) const;
    // The body's length as the Content-Length header announces it: 0 when absent or not a
    // number, the largest value when too large to hold.
    ULONGLONG ContentLength() const;
    void Close() {
        m_request.reset();  // closed before its connection
        m_connection.reset();
    }

private:
    tvx::CutoffHandle m_connection;
    tvx::CutoffHandle m_request;
    DWORD_PTR m_context;
    std::shared_ptr<tvx::InternetCutoff> m_cutoff;
};

class CInternetSession {
public:
    // The user agent defaults to the application name. Throws CInternetException when WinINet
    // cannot open a session at all.
    explicit CInternetSession(const wchar_t* agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG,
                              const wchar_t* proxyName = nullptr,
                              const wchar_t* proxyBypass = nullptr, DWORD flags = 0);
    ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // Connect, send and receive time-outs in milliseconds, for the session and every request
    // opened from it. WinINet's own defaults let a stalled server hold the caller for minutes.
    void SetTimeouts(DWORD milliseconds);
    // Every handle of the session is closed `milliseconds` from now, whatever is in progress:
    // the per-call time-outs alone let a server that trickles a byte at a time hold the caller
    // for hours. Set once, right after the session is opened.
    void SetDeadline(DWORD milliseconds);
    // For cutting the session short from another thread (a cancel button).
    std::shared_ptr<tvx::InternetCutoff> Cutoff() const { return m_cutoff; }

    // Sends a GET for an http or https URL and returns its response; any other scheme gives no
    // response object (null). Throws CInternetException when the request fails.
    std::unique_ptr<CHttpFile> OpenURL(const std::wstring& url, DWORD_PTR context = 1,
                                       DWORD flags = 0, const wchar_t* headers = nullptr,
                                       DWORD headersLength = 0);
    void Close();

private:
    void ApplyTimeouts(HINTERNET handle) const;

    std::shared_ptr<tvx::InternetCutoff> m_cutoff;
    tvx::CutoffHandle m_session;
    HANDLE m_deadlineTimer = nullptr;
    DWORD_PTR m_context;
    DWORD m_timeoutMs = 0;  // 0: WinINet's defaults
};
