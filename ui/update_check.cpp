// The update check of the start-up sequence: the request (any thread) and its result (the
// window's thread).
#include "framework/message_box.h"
#include "framework/user_text.h"
#include "online/client_signature.h"
#include "online/server_messages.h"
#include "online/update_check.h"
#include "ui/tarnivex_dlg.h"

tvx::UpdateCheck CTarnivexDlg::RequestUpdateCheck(const std::wstring& url) {
    return tvx::CheckUpdateEndpoint(url,
                                    tvx::ReadUserText(tvx::kUpdateKey, tvx::kUpdateValue, L"0"));
}

BOOL CTarnivexDlg::CheckForUpdate(const tvx::UpdateCheck& check) {
    if (check.unreachable) {
        AfxMessageBox(tvx::kServerUnreachable, MB_OK);
        return FALSE;
    }
    // The fields follow every reply that has a "#", offer or not.
    if (check.reply.hasFields) {
        m_strServerVersion = check.reply.version;
        m_strUpdateUrl = check.reply.url;
    }
    return check.reply.offered && tvx::SelfUpdateEnabled() ? TRUE : FALSE;
}
