// The run sequence: the unpack folder, the download worker and the wait for it, the launch of
// the first plain file of the folder, and the stop of the UI thread.
#include <cstring>

#include "app/kesto_quick_setup.h"
#include "app/package_url.h"
#include "download/download_thread.h"
#include "framework/gdiplus_use.h"
#include "ui/progress_notice.h"

namespace {

const char kConfigMissing[] = "配置文件丢失!";
const char kDownloadFailed[] = "下载发生错误,请重试!";
const char kLaunching[] = "安装程序启动中......";
const char kFolderName[] = "tarune";
const char kSearchPattern[] = "\\*.*";
const DWORD kUiThreadGrace = 2000;

}  // namespace

BOOL CKestoQuickSetupApp::RunSequence() {
    SystemPort& system = CurrentSystemPort();
    if (g_pszPackageUrl == nullptr || g_pszPackageUrl[0] == '\0') {
        system.AfxMessageBox(kConfigMissing, MB_OK);
        ShutdownGdiplus();
        return FALSE;
    }
    // The whole buffer is offered to GetTempPathA: a shorter limit would leave a long path
    // unwritten and the folder made of whatever the buffer held. The folder must leave room
    // for what is made of it: the reader's separator and an item's name, and the launch
    // walk's pattern, the longer of the two. A path without that room ends the run before
    // anything is fetched.
    char folder[MAX_PATH] = {};
    const DWORD length = system.GetTempPathA(MAX_PATH, folder);
    if (length == 0 ||
        length + (sizeof(kFolderName) - 1) + (sizeof(kSearchPattern) - 1) >= MAX_PATH) {
        system.AfxMessageBox(kDownloadFailed, MB_OK);
        ShutdownGdiplus();
        return FALSE;
    }
    strcat_s(folder, MAX_PATH, kFolderName);

    m_event.ResetEvent();
    m_job.pEvent = &m_event;
    m_job.strUrl = g_pszPackageUrl;
    m_job.strTargetDir = folder;
    m_pWorkerThread = system.AfxBeginThread(&DownloadThreadProc, &m_job, THREAD_PRIORITY_NORMAL, 0,
                                            CREATE_SUSPENDED, nullptr);
    if (m_pWorkerThread == nullptr) {
        system.AfxMessageBox(kDownloadFailed, MB_OK);
    } else {
        m_pWorkerThread->m_bAutoDelete = FALSE;
        m_pWorkerThread->ResumeThread();
        WaitForSingleObject(m_event, INFINITE);
        DWORD code = 0;
        if (GetExitCodeThread(m_pWorkerThread->m_hThread, &code) && code == STILL_ACTIVE)
            WaitForSingleObject(m_pWorkerThread->m_hThread, INFINITE);
        GetExitCodeThread(m_pWorkerThread->m_hThread, &code);
        if (g_bUserCancelled) {
            // The user closed the window: nothing more to show or start.
        } else if (code == static_cast<DWORD>(-1)) {
            system.AfxMessageBox(kDownloadFailed, MB_OK);
        } else {
            LaunchInstaller(folder);
        }
        delete m_pWorkerThread;
        m_pWorkerThread = nullptr;
    }

    // The UI thread stops first: its dialog paints with GDI+ until it has ended.
    bool terminated = false;
    if (CWinThread* ui = m_job.pUIThread) {
        PostThreadMessageA(ui->m_nThreadID, WM_QUIT, 0, 0);
        if (WaitForSingleObject(ui->m_hThread, kUiThreadGrace) == WAIT_OBJECT_0) {
            ui->Delete();
            delete ui;
        } else {
            DWORD code = 0;
            if (GetExitCodeThread(ui->m_hThread, &code) && code == STILL_ACTIVE)
                terminated = system.TerminateThread(ui->m_hThread, STILL_ACTIVE) != FALSE;
        }
    }
    m_job.pUIThread = nullptr;
    // A failed run hands no UI thread over: its dialog stays up behind the messages and until
    // the process ends, and from here on paints without GDI+.
    ShutdownGdiplus(terminated);
    m_job.strUrl.Empty();
    return FALSE;
}

void CKestoQuickSetupApp::ShutdownGdiplus(bool bUiThreadTerminated) {
    if (bUiThreadTerminated) {
        if (!TryCloseGdiplusUse())
            return;  // stopped inside a paint, perhaps inside GDI+'s own locks
    } else {
        CloseGdiplusUse();
    }
    CurrentSystemPort().GdiplusShutdown(m_gdiplusToken);
}

void CKestoQuickSetupApp::LaunchInstaller(const char* folder) {
    CString pattern(folder);
    pattern += kSearchPattern;
    CFileFind find;
    if (!find.FindFile(pattern))
        return;
    BOOL more = TRUE;
    while (more) {
        more = find.FindNextFile();
        if (find.MatchesMask(FILE_ATTRIBUTE_DIRECTORY) || find.IsDots())
            continue;
        SendProgressNotice(m_job.pUIThread, 100, kLaunching);
        const CString path = find.GetFilePath();
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = "runas";
        info.lpFile = path;
        info.nShow = SW_SHOWNORMAL;
        CurrentSystemPort().ShellExecuteExA(&info);
        break;  // only the first plain file
    }
    find.Close();
}
