// Start-up: the membership test and elevated relaunch, the running copy's activation, the
// framework and graphics set-up, and the running-product guard.
#include "app/kesto_quick_setup.h"

#include <commctrl.h>
#include <mbstring.h>

#include <cstdio>

#include "framework/screen_text.h"
#include "shadow/wnd_shadow.h"

const char kProductExeName[] = "kesto.exe";
const char kWindowTitle[] = "岫澜汇快速安装程序";

namespace {
const char kRegistryKey[] = "应用程序向导生成的本地应用程序";
const char kProductRunning[] = "岫澜电子经纪平台正在运行，请退出后再试!";
// Our own text: the test could not be made, so the job must not go on.
const char kAdminTestFailed[] = "无法检查管理员权限(错误 %lu)，请以管理员身份重新运行!";
}  // namespace

BEGIN_MESSAGE_MAP(CKestoQuickSetupApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

CKestoQuickSetupApp::CKestoQuickSetupApp() : CWinApp(nullptr) {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
    SystemPort& system = CurrentSystemPort();
    BOOL isMember = FALSE;
    try {
        isMember = CheckAdminMembership();
    } catch (DWORD error) {
        // Neither relaunch nor look for another copy: InitInstance reports it and ends.
        m_dwAdminTestError = error;
        return;
    }
    if (!isMember) {
        char path[MAX_PATH] = {};
        system.GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = "runas";
        info.lpFile = path;
        info.nShow = SW_SHOWNORMAL;
        system.ShellExecuteExA(&info);
        m_bIsAdmin = FALSE;
    }
    // The title as the worker gives it, read as GBK whatever the system's code page.
    if (HWND other = system.FindWindowW(nullptr, GbkToWide(kWindowTitle).c_str())) {
        system.ShowWindow(other, system.IsIconic(other) ? SW_SHOWNORMAL : SW_RESTORE);
        system.SetForegroundWindow(other);
        m_bOtherInstance = TRUE;
    }
}

BOOL CKestoQuickSetupApp::CheckAdminMembership() {
    SystemPort& system = CurrentSystemPort();
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID admins = nullptr;
    BOOL isMember = FALSE;
    bool failed = false;
    DWORD error = 0;
    if (!system.AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
        failed = true;
        error = GetLastError();
    } else {
        if (!system.CheckTokenMembership(nullptr, admins, &isMember)) {
            failed = true;
            error = GetLastError();
        }
        system.FreeSid(admins);
    }
    if (failed)
        throw error != 0 ? error : DWORD(ERROR_INTERNAL_ERROR);  // a failure without a code
    return isMember;
}

DWORD CKestoQuickSetupApp::FindRunningProcess(CString strExeName) {
    SystemPort& system = CurrentSystemPort();
    HANDLE snapshot = system.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    DWORD found = 0;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    // The first entry is not compared: it is the system's idle process.
    if (system.Process32First(snapshot, &entry)) {
        for (;;) {
            entry.dwSize = sizeof(entry);
            if (!system.Process32Next(snapshot, &entry))
                break;
            if (_mbsicmp(reinterpret_cast<const unsigned char*>(entry.szExeFile),
                         reinterpret_cast<const unsigned char*>(strExeName.GetString())) == 0) {
                found = entry.th32ProcessID;
                break;
            }
        }
    }
    system.CloseHandle(snapshot);
    return found;
}

BOOL CKestoQuickSetupApp::InitInstance() {
    SystemPort& system = CurrentSystemPort();
    if (m_dwAdminTestError != 0) {
        char text[160];
        std::snprintf(text, sizeof(text), kAdminTestFailed,
                      static_cast<unsigned long>(m_dwAdminTestError));
        system.AfxMessageBox(text, MB_OK);
        return FALSE;
    }
    if (!m_bIsAdmin)
        return TRUE;  // the loop finds no main window and ends; the elevated copy does the job
    if (m_bOtherInstance)
        return FALSE;

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();
    AfxEnableControlContainer();
    CMFCVisualManager::SetDefaultManager(RUNTIME_CLASS(CMFCVisualManagerWindows));
    SetRegistryKey(kRegistryKey);
    CWndShadow::RegisterShadowClass(AfxGetInstanceHandle());
    system.GdiplusStartup(&m_gdiplusToken, &m_gdiplusStartupInput, nullptr);

    if (FindRunningProcess(kProductExeName) != 0) {
        system.AfxMessageBox(kProductRunning, MB_OK);
        ShutdownGdiplus();
        return FALSE;
    }

    return RunSequence();
}
