// ui/ui_thread.h: CUIThread, the thread the progress dialog lives on. InitInstance creates
// and shows the dialog and makes it the main window; the message loop runs until WM_QUIT;
// ExitInstance deletes the dialog, and with it its window and its shadow.
#ifndef KESTO_UI_UI_THREAD_H
#define KESTO_UI_UI_THREAD_H

#include "framework/afxwin.h"
#include "ui/progress_dialog.h"

class CUIThread : public CWinThread {
    DECLARE_DYNCREATE(CUIThread)

public:
    BOOL InitInstance() override;
    int ExitInstance() override;

    CKestoQuickSetupDlg* m_pDialog = nullptr;
};

#endif  // KESTO_UI_UI_THREAD_H
