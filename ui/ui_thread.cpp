#include "ui/ui_thread.h"

IMPLEMENT_DYNCREATE(CUIThread, CWinThread)

BOOL CUIThread::InitInstance() {
    m_pDialog = new CKestoQuickSetupDlg(nullptr);
    // Without a window the loop still runs; senders find no window and skip their notices.
    m_pDialog->Create(CKestoQuickSetupDlg::IDD, nullptr);
    m_pDialog->ShowWindow(SW_SHOW);
    m_pMainWnd = m_pDialog;
    return TRUE;
}

int CUIThread::ExitInstance() {
    if (m_pDialog != nullptr) {
        delete m_pDialog;
        m_pDialog = nullptr;
    }
    return CWinThread::ExitInstance();
}
