// app/kesto_quick_setup.h: CKestoQuickSetupApp, the application object. Its construction
// makes sure the process is an administrator (or asks for an elevated copy) and brings a
// running copy's window to the front; InitInstance sets up the framework, the shadow's window
// class and GDI+, refuses to go on while the product runs, and then does the job.
#ifndef KESTO_APP_KESTO_QUICK_SETUP_H
#define KESTO_APP_KESTO_QUICK_SETUP_H

#include "app/system_port.h"
#include "download/download_job.h"
#include "framework/afxwin.h"

class CKestoQuickSetupApp : public CWinApp {
public:
    CKestoQuickSetupApp();

    BOOL InitInstance() override;

    // TRUE when the process token is a member of the built-in Administrators group; throws
    // the system error code (DWORD) when the test cannot be made.
    static BOOL CheckAdminMembership();
    // The process ID of the first process with this executable name, or 0.
    static DWORD FindRunningProcess(CString strExeName);

    DECLARE_MESSAGE_MAP()

    // The second half of InitInstance: the whole job. Always FALSE.
    BOOL RunSequence();
    // Starts the first plain file of the folder, elevated.
    void LaunchInstaller(const char* folder);
    // The one way GDI+ ends: nothing may paint with it afterwards, so a paint in progress on
    // the UI thread ends first and none starts later. After the UI thread was terminated,
    // which may have stopped it inside GDI+, it ends only if no paint was under way.
    void ShutdownGdiplus(bool bUiThreadTerminated = false);

    // The run sequence.
    DownloadJob m_job;
    CWinThread* m_pWorkerThread = nullptr;
    CEvent m_event;

    // Start-up.
    Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
    ULONG_PTR m_gdiplusToken = 0;
    BOOL m_bIsAdmin = TRUE;
    BOOL m_bOtherInstance = FALSE;
    DWORD m_dwAdminTestError = 0;  // why the membership test could not be made, or 0
};

extern const char kProductExeName[];
extern const char kWindowTitle[];

#endif  // KESTO_APP_KESTO_QUICK_SETUP_H
