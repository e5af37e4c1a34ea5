#include "ui/progress_notice.h"

#include <cstdio>

#include "framework/thread.h"
#include "framework/wnd.h"

HWND ProgressDialogWindow(CWinThread* ui) {
    CWnd* main = ui != nullptr ? ui->GetMainWnd() : nullptr;
    HWND hwnd = main != nullptr ? main->m_hWnd : nullptr;
    return hwnd != nullptr && IsWindow(hwnd) ? hwnd : nullptr;
}

void SendProgressNotice(CWinThread* ui, int percent, const char* text) {
    HWND dialog = ProgressDialogWindow(ui);
    if (dialog == nullptr)
        return;
    ProgressNotice notice = {};
    notice.nPercent = percent;
    std::snprintf(notice.szText, sizeof(notice.szText), "%s", text);
    SendMessageA(dialog, WM_PROGRESS_NOTICE, 0, reinterpret_cast<LPARAM>(&notice));
}
