#include "online/usage_report.h"

#include "framework/internet.h"
#include "online/launch_record.h"
#include "online/online_endpoints.h"

namespace tvx {

void ReportUsage(std::wstring url) {
    try {
        CInternetSession session(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        session.SetDeadline(kRequestDeadlineMs);
        session.SetTimeouts(kOnlineTimeoutMs);
        // RELOAD: an identical earlier report must not be answered from the cache.
        auto file = session.OpenURL(url, 1, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE);
        if (file) {
            std::string firstLine;
            file->ReadString(firstLine);
            file->Close();
        }
        session.Close();
    } catch (const CInternetException&) {
        // The caller's sequence goes on whatever the counter did.
    }
}

void SendStartupReports() {
    if (UpdateLaunchRecord()) ReportUsage(kLiveReportUrl);
    ReportUsage(kRunReportUrl);
}

}  // namespace tvx
