#include "framework/dialog.h"

#include "framework/app.h"
#include "framework/thread.h"

// Every message reaches the object's map through the framework's window procedure first;
// the dialog procedure only answers the dialog manager's questions with "not handled".
INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    if (m_hWnd != nullptr)
        return FALSE;
    HWND owner = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
    if (owner == nullptr) {
        CWinThread* thread = AfxGetThread();
        if (CWnd* main = thread != nullptr ? thread->GetMainWnd() : nullptr)
            owner = main->m_hWnd;
    }
    BeginCreation(this);
    HWND hWnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDTemplate), owner,
                                   &CDialog::DialogProc, 0);
    EndCreation();
    return hWnd != nullptr;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    return IsDialogMessageA(m_hWnd, pMsg);
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
if (message == WM_INITDIALOG) {
    Default();
    *pResult = OnInitDialog();
    return TRUE;
}
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()
