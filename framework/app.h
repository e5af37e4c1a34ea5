// framework/app.h: CWinApp, the one application object, and the process-wide helpers that
// hang on it: the application name, the resource handle and AfxMessageBox.
//
// The object is global and constructed before the entry point runs; its constructor makes it
// the main thread's object. AfxWinMain (called from WinMain, framework/winmain.cpp) then
// calls InitInstance: FALSE ends the program with ExitInstance's code, TRUE runs the message
// loop, which ends at once when there is no main window.
#ifndef KESTO_FRAMEWORK_APP_H
#define KESTO_FRAMEWORK_APP_H

#include <windows.h>

#include "framework/cstring.h"
#include "framework/thread.h"

#define AFX_RESTART_MANAGER_SUPPORT_RESTART 0x01
#define ID_HELP 0xE146

class CWinApp : public CWinThread {
public:
    // Without a name the application is named after the executable's file name.
    explicit CWinApp(const char* lpszAppName = nullptr);
    ~CWinApp() override;

    BOOL InitInstance() override { return TRUE; }
    int Run() override;
    void SetRegistryKey(const char* lpszRegistryKey) { m_strRegistryKey = lpszRegistryKey; }
    void OnHelp() {}  // there is no help file

    const char* m_pszAppName = nullptr;
    HINSTANCE m_hInstance = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
    CString m_strRegistryKey;

private:
    friend int AfxWinMain(HINSTANCE, HINSTANCE, LPSTR, int);
    CString m_strAppName;
};

CWinApp* AfxGetApp();
// The application's name; without an application object, the executable's file name.
const char* AfxGetAppName();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// Resources come from this module from now on (null: the application's again).
void AfxSetResourceHandle(HINSTANCE hInstResource);

int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

// A message box owned by no window, captioned with the application's name; MB_OK and the
// other types without an icon of their own get the exclamation icon. The text is GBK, or
// already UTF-16; either reads right whatever the system's code page (screen_text.h).
int AfxMessageBox(const char* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(const wchar_t* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// Control containers and visual managers have nothing to do in this program.
inline BOOL AfxEnableControlContainer() {
    return TRUE;
}
class CMFCVisualManagerWindows {
public:
    static const CRuntimeClass classCMFCVisualManagerWindows;
};
class CMFCVisualManager {
public:
    static void SetDefaultManager(const CRuntimeClass*) {}
};

#endif  // KESTO_FRAMEWORK_APP_H
