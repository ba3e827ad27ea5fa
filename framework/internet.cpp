#include "framework/internet.h"

#include "framework/message_box.h"

namespace {

[[noreturn]] void ThrowLastError(DWORD_PTR context) {
    throw CInternetException(context, ::GetLastError());
}

}  // namespace

UINT CHttpFile::Read(void* buffer, UINT count) {
    if (!m_request) throw CInternetException(m_context, ERROR_INVALID_HANDLE);
    DWORD got = 0;
    if (!::InternetReadFile(m_request.get(), buffer, count, &got)) ThrowLastError(m_context);
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

CInternetSession::CInternetSession(const wchar_t* agent, DWORD_PTR context, DWORD accessType,
                                   const wchar_t* proxyName, const wchar_t* proxyBypass,
                                   DWORD flags)
    : m_context(context) {
    const std::wstring appName = agent ? std::wstring(agent) : AfxGetAppName();
    m_session.reset(::InternetOpenW(appName.c_str(), accessType, proxyName, proxyBypass, flags));
    if (!m_session) ThrowLastError(m_context);
}

void CInternetSession::SetTimeouts(DWORD milliseconds) {
    m_timeoutMs = milliseconds;
    ApplyTimeouts(m_session.get());
}

void CInternetSession::ApplyTimeouts(HINTERNET handle) const {
    if (m_timeoutMs == 0) return;
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
        ThrowLastError(context);
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

    tvx::UniqueInternet connection(::InternetConnectW(
        m_session.get(), host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
        password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, context));
    if (!connection) ThrowLastError(context);
    ApplyTimeouts(connection.get());

    if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
    const wchar_t* acceptAll[] = {L"*/*", nullptr};
    tvx::UniqueInternet request(::HttpOpenRequestW(connection.get(), L"GET", object.c_str(),
                                                   nullptr, nullptr, acceptAll, flags, context));
    if (!request) ThrowLastError(context);
    ApplyTimeouts(request.get());

    if (!::HttpSendRequestW(request.get(), headers, headersLength, nullptr, 0))
        ThrowLastError(context);
    return std::make_unique<CHttpFile>(std::move(connection), std::move(request), context);
}
