#include "framework/internet.h"

#include <algorithm>

#include "framework/message_box.h"

namespace tvx {

bool InternetCutoff::Adopt(HINTERNET handle) {
    if (!handle) return false;
    {
        std::lock_guard lock(mutex_);
        if (!cut_) {
            open_.push_back(handle);
            return true;
        }
    }
    ::InternetCloseHandle(handle);
    return false;
}

void InternetCutoff::Close(HINTERNET handle) {
    {
        std::lock_guard lock(mutex_);
        const auto it = std::find(open_.begin(), open_.end(), handle);
        // Already closed by the cutoff: the value may even belong to someone else by now.
        if (it == open_.end()) return;
        open_.erase(it);
    }
    ::InternetCloseHandle(handle);
}

void InternetCutoff::CutNow() {
    std::vector<HINTERNET> closing;
    {
        std::lock_guard lock(mutex_);
        cut_ = true;
        closing.swap(open_);
    }
    for (auto it = closing.rbegin(); it != closing.rend(); ++it) ::InternetCloseHandle(*it);
}

bool InternetCutoff::Cut() const {
    std::lock_guard lock(mutex_);
    return cut_;
}

}  // namespace tvx

namespace {

// What a call on a cut session reports.
constexpr DWORD kCutError = ERROR_INTERNET_OPERATION_CANCELLED;

[[noreturn]] void ThrowFailure(DWORD_PTR context, const tvx::InternetCutoff& cutoff) {
    const DWORD error = ::GetLastError();
    throw CInternetException(context, cutoff.Cut() ? kCutError : error);
}

void CALLBACK CutAtDeadline(PVOID cutoff, BOOLEAN) {
    static_cast<tvx::InternetCutoff*>(cutoff)->CutNow();
}

}  // namespace

UINT CHttpFile::Read(void* buffer, UINT count) {
    if (!m_request || m_cutoff->Cut()) throw CInternetException(m_context, kCutError);
    // Asks only for what has arrived: a read of more may wait until all of it has come (Wine's
    // does, and a close from another thread does not stop it), so a server sending one byte at a
    // time could hold a single call for as many seconds as the buffer has bytes.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(m_request.get(), &available, 0, 0))
        ThrowFailure(m_context, *m_cutoff);
    if (m_cutoff->Cut()) throw CInternetException(m_context, kCutError);
    if (available == 0 || count == 0) return 0;  // the end of the body
    DWORD got = 0;
    if (!::InternetReadFile(m_request.get(), buffer, count < available ? count : available, &got))
        ThrowFailure(m_context, *m_cutoff);
    return got;
}

bool CHttpFile::ReadString(std::string& line, std::size_t maxBytes) {
    line.clear();
    bool any = false;
    // Byte by byte: whatever follows the line stays unread in the connection. WinINet buffers
    // the socket itself, so this costs no system call per byte.
    while (line.size() < maxBytes) {
        char c = 0;
        if (Read(&c, 1) == 0) break;
        any = true;
        if (c == '\n') break;
        line.push_back(c);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

DWORD CHttpFile::GetStatusCode() const {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!m_request ||
        !::HttpQueryInfoW(m_request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr)) {
        return 0;
    }
    return status;
}

std::wstring CHttpFile::QueryHeader(DWORD level) const {
    if (!m_request) return {};
    std::wstring text(256, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (::HttpQueryInfoW(m_request.get(), level, text.data(), &bytes, nullptr)) {
            text.resize(bytes / sizeof(wchar_t));
            return text;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes > 64 * 1024) return {};
        text.resize(bytes / sizeof(wchar_t) + 1);
    }
    return {};
}

ULONGLONG CHttpFile::ContentLength() const {
    const std::wstring text = QueryHeader(HTTP_QUERY_CONTENT_LENGTH);
    ULONGLONG value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        if (value > (~0ULL - 9) / 10) return ~0ULL;
        value = value * 10 + (c - L'0');
    }
    return value;
}

CInternetSession::CInternetSession(const wchar_t* agent, DWORD_PTR context, DWORD accessType,
                                   const wchar_t* proxyName, const wchar_t* proxyBypass,
                                   DWORD flags)
    : m_cutoff(std::make_shared<tvx::InternetCutoff>()), m_context(context) {
    const std::wstring appName = agent ? std::wstring(agent) : AfxGetAppName();
    const HINTERNET session =
        ::InternetOpenW(appName.c_str(), accessType, proxyName, proxyBypass, flags);
    if (!session) throw CInternetException(m_context, ::GetLastError());
    m_cutoff->Adopt(session);
    m_session = tvx::CutoffHandle(m_cutoff, session);
}

CInternetSession::~CInternetSession() {
    // INVALID_HANDLE_VALUE: waits for a cut in progress, so the cutoff outlives its callback.
    if (m_deadlineTimer) ::DeleteTimerQueueTimer(nullptr, m_deadlineTimer, INVALID_HANDLE_VALUE);
    Close();
}

void CInternetSession::Close() { m_session.reset(); }

void CInternetSession::SetTimeouts(DWORD milliseconds) {
    m_timeoutMs = milliseconds;
    ApplyTimeouts(m_session.get());
}

void CInternetSession::SetDeadline(DWORD milliseconds) {
    if (m_deadlineTimer) return;
    // Without a timer there is no deadline; the session is then cut at once rather than run
    // unbounded.
    if (!::CreateTimerQueueTimer(&m_deadlineTimer, nullptr, &CutAtDeadline, m_cutoff.get(),
                                 milliseconds, 0, WT_EXECUTEONLYONCE)) {
        m_deadlineTimer = nullptr;
        m_cutoff->CutNow();
    }
}

void CInternetSession::ApplyTimeouts(HINTERNET handle) const {
    if (m_timeoutMs == 0 || !handle) return;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        DWORD value = m_timeoutMs;
        ::InternetSetOptionW(handle, option, &value, sizeof value);
    }
}

// Connection and request are opened one by one instead of with InternetOpenUrl, so that the
// time-outs can be set on each: not every WinINet passes the session's send and receive
// time-outs on to its requests (Wine keeps only the connect time-out), and InternetOpenUrl has
// already waited for the response headers when it returns.
std::unique_ptr<CHttpFile> CInternetSession::OpenURL(const std::wstring& url, DWORD_PTR context,
                                                     DWORD flags, const wchar_t* headers,
                                                     DWORD headersLength) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUserNameLength = 1;
    parts.dwPasswordLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        throw CInternetException(context, ::GetLastError());
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return nullptr;

    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring user(parts.lpszUserName ? parts.lpszUserName : L"", parts.dwUserNameLength);
    const std::wstring password(parts.lpszPassword ? parts.lpszPassword : L"",
                                parts.dwPasswordLength);
    std::wstring object(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
    if (parts.lpszExtraInfo) object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    // A fragment is the client's own business, never sent.
    if (const size_t fragment = object.find(L'#'); fragment != std::wstring::npos)
        object.erase(fragment);
    if (object.empty()) object = L"/";

    if (!m_session) throw CInternetException(context, kCutError);
    const HINTERNET rawConnection = ::InternetConnectW(
        m_session.get(), host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
        password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, context);
    if (!rawConnection) ThrowFailure(context, *m_cutoff);
    if (!m_cutoff->Adopt(rawConnection)) throw CInternetException(context, kCutError);
    tvx::CutoffHandle connection(m_cutoff, rawConnection);
    ApplyTimeouts(connection.get());

    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* acceptAll[] = {L"*/*", nullptr};
    const HINTERNET rawRequest = ::HttpOpenRequestW(connection.get(), L"GET", object.c_str(),
                                                    nullptr, nullptr, acceptAll, flags, context);
    if (!rawRequest) ThrowFailure(context, *m_cutoff);
    if (!m_cutoff->Adopt(rawRequest)) throw CInternetException(context, kCutError);
    tvx::CutoffHandle request(m_cutoff, rawRequest);
    ApplyTimeouts(request.get());

    if (!::HttpSendRequestW(request.get(), headers, headersLength, nullptr, 0))
        ThrowFailure(context, *m_cutoff);
    return std::make_unique<CHttpFile>(std::move(connection), std::move(request), context,
                                       m_cutoff);
}
