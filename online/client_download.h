// Downloading the offered client ourselves, so that every step is ours to judge: each hop of a
// redirect must be https, the whole download has a deadline and a size cap, and the bytes go
// straight into a file nobody else can write.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "framework/internet.h"
#include "framework/scoped.h"

namespace tvx {

struct DownloadLimits {
    DWORD deadlineMs = 10 * 60 * 1000;  // from the first request to the last byte
    ULONGLONG maxBytes = 64ULL << 20;   // plenty for a client
    int maxRedirects = 5;
};

// The limits the self-update uses; tests may shorten them (never the program itself).
DownloadLimits ClientDownloadLimits();
void OverrideClientDownloadLimitsForTests(const DownloadLimits* limits);

enum class DownloadFailure {
    None,
    NotHttps,          // the offered address is not https
    RedirectNotHttps,  // a redirect led to another scheme
    TooManyRedirects,
    HttpStatus,  // an answer other than 200 or a redirect
    TooLarge,    // announced or delivered more than the cap
    Network,     // connection, TLS, name, read failure, or the deadline passed
    Cancelled,
    WriteFailed,
};

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::Network;
    DWORD detail = 0;  // the HTTP status or the system's error code
    bool ok() const { return failure == DownloadFailure::None; }
};

// Shared between the downloading thread and whoever watches it: progress to show and a way to
// stop it at once.
class DownloadControl {
public:
    std::atomic<ULONGLONG> received{0};
    std::atomic<ULONGLONG> total{0};  // 0: the size is not known

    // Stops the download: its connections are closed, whatever call is in progress fails.
    void Cancel();
    bool Cancelled() const { return cancelled_.load(); }
    // Called by the download for each session it opens; cut at once after a Cancel().
    void Watch(std::shared_ptr<InternetCutoff> cutoff);

    // Called on the downloading thread whenever `received` or `total` has changed; set before
    // the download starts.
    std::function<void(ULONGLONG received, ULONGLONG total)> progressed;
    void Progressed() {
        if (progressed) progressed(received.load(), total.load());
    }

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    std::shared_ptr<InternetCutoff> cutoff_;
};

// Downloads url into file (open for writing, at its start). Blocks; runs on any thread.
DownloadResult DownloadClient(const std::wstring& url, HANDLE file, const DownloadLimits& limits,
                              DownloadControl& control);

}  // namespace tvx
