#include "online/usage_report.h"

#include "framework/internet.h"
#include "online/online_endpoints.h"

namespace tvx {

void ReportUsage(std::wstring url) {
    CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    session.SetTimeouts(kOnlineTimeoutMs);
    try {
        // RELOAD: an identical earlier report must not be answered from the cache.
        auto file = session.OpenURL(url, 1, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
        if (file) {
            std::string firstLine;
            file->ReadString(firstLine);
            file->Close();
        }
    } catch (const CInternetException&) {
        // The caller's sequence goes on whatever the counter did.
    }
    session.Close();
}

}  // namespace tvx
