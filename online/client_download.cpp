#include "online/client_download.h"

#include <wininet.h>

#include <vector>

#include "online/online_endpoints.h"
#include "online/update_reply.h"

namespace tvx {

namespace {

std::atomic<const DownloadLimits*> g_limitsOverride{nullptr};

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The Location of a redirect resolved against the address that answered it.
std::wstring ResolveLocation(const std::wstring& base, const std::wstring& location) {
    std::wstring out(4096, L'\0');
    DWORD size = static_cast<DWORD>(out.size());
    if (!::InternetCombineUrlW(base.c_str(), location.c_str(), out.data(), &size, ICU_NO_ENCODE)) {
        return {};
    }
    out.resize(size);
    return out;
}

}  // namespace

DownloadLimits ClientDownloadLimits() {
    const DownloadLimits* limits = g_limitsOverride.load();
    return limits ? *limits : DownloadLimits{};
}

void OverrideClientDownloadLimitsForTests(const DownloadLimits* limits) {
    g_limitsOverride = limits;
}

void DownloadControl::Cancel() {
    cancelled_ = true;
    std::shared_ptr<InternetCutoff> cutoff;
    {
        std::lock_guard lock(mutex_);
        cutoff = cutoff_;
    }
    if (cutoff) cutoff->CutNow();
}

void DownloadControl::Watch(std::shared_ptr<InternetCutoff> cutoff) {
    {
        std::lock_guard lock(mutex_);
        cutoff_ = cutoff;
    }
    // A Cancel() that came before the session existed.
    if (cancelled_) cutoff->CutNow();
}

DownloadResult DownloadClient(const std::wstring& url, HANDLE file, const DownloadLimits& limits,
                              DownloadControl& control) {
    if (!IsHttpsDownloadUrl(url)) return {DownloadFailure::NotHttps, 0};
    try {
        CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                 INTERNET_FLAG_NO_CACHE_WRITE);
        session.SetDeadline(limits.deadlineMs);
        session.SetTimeouts(kOnlineTimeoutMs);
        control.Watch(session.Cutoff());

        std::wstring address = url;
        for (int hop = 0;; ++hop) {
            // Redirects are followed here, not by WinINet, so that each hop is judged.
            auto response =
                session.OpenURL(address, 1,
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_RELOAD |
                                    INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_BINARY);
            if (!response) return {DownloadFailure::NotHttps, 0};
            const DWORD status = response->GetStatusCode();
            if (IsRedirect(status)) {
                if (hop >= limits.maxRedirects) return {DownloadFailure::TooManyRedirects, status};
                address = ResolveLocation(address, response->QueryHeader(HTTP_QUERY_LOCATION));
                // https to another host is fine; anything but https is not.
                if (!IsHttpsDownloadUrl(address))
                    return {DownloadFailure::RedirectNotHttps, status};
                continue;
            }
            if (status != HTTP_STATUS_OK) return {DownloadFailure::HttpStatus, status};

            const ULONGLONG announced = response->ContentLength();
            if (announced > limits.maxBytes) return {DownloadFailure::TooLarge, 0};
            control.total = announced;
            control.Progressed();
            std::vector<char> chunk(64 * 1024);
            ULONGLONG received = 0;
            for (;;) {
                const UINT got = response->Read(chunk.data(), static_cast<UINT>(chunk.size()));
                if (got == 0) break;
                received += got;
                if (received > limits.maxBytes) return {DownloadFailure::TooLarge, 0};
                DWORD written = 0;
                if (!::WriteFile(file, chunk.data(), got, &written, nullptr) || written != got) {
                    return {DownloadFailure::WriteFailed, ::GetLastError()};
                }
                control.received = received;
                control.Progressed();
            }
            if (announced != 0 && received != announced) return {DownloadFailure::Network, 0};
            if (!::FlushFileBuffers(file)) return {DownloadFailure::WriteFailed, ::GetLastError()};
            return {DownloadFailure::None, 0};
        }
    } catch (const CInternetException& e) {
        if (control.Cancelled()) return {DownloadFailure::Cancelled, 0};
        return {DownloadFailure::Network, e.m_dwError};
    } catch (const std::exception&) {
        return {DownloadFailure::Network, ERROR_OUTOFMEMORY};
    }
}

}  // namespace tvx
