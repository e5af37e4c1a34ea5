// download_probe URL TARGET [--cancel-after N] [--no-ui] [--slow-dialog MS] [--no-dialog]
// Runs the download worker as the program does (GDI+ and the shadow class set up, a real UI
// thread) and prints what happened, one fact per line, as GBK bytes:
//   notice PERCENT TEXT   each progress notice the dialog received, in order
//   title TEXT            each window text the dialog was given
//   exit CODE             the worker's exit code
//   event 0|1             whether the job's event was signalled
//   uithread 0|1          whether the UI thread was handed over
//   found 0|1             whether a search by the dialog's title, as a second copy makes
//                         it, finds the dialog once the worker has ended
// --cancel-after N sets g_bUserCancelled while the dialog handles the N-th notice, as a click
// on the close cross would; --no-ui makes starting the UI thread fail; --slow-dialog MS makes
// the UI thread take MS milliseconds before it makes its dialog, as a slow machine does;
// --no-dialog gives a UI thread that runs its loop without making any window.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "download/download_thread.h"
#include "shadow/wnd_shadow.h"
#include "ui/progress_notice.h"
#include "ui/ui_thread.h"

namespace {

std::mutex g_lock;
std::vector<std::string> g_seen;
int g_cancelAfter = -1;
int g_notices = 0;
HHOOK g_hook = nullptr;

LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_PROGRESS_NOTICE && call->lParam != 0) {
        const ProgressNotice* notice = reinterpret_cast<const ProgressNotice*>(call->lParam);
        std::lock_guard<std::mutex> lock(g_lock);
        g_seen.push_back("notice " + std::to_string(notice->nPercent) + " " + notice->szText);
        if (++g_notices == g_cancelAfter)
            g_bUserCancelled = true;
    } else if (code == HC_ACTION && call->message == WM_SETTEXT && call->lParam != 0) {
        char cls[16] = {};
        GetClassNameA(call->hwnd, cls, sizeof(cls));
        if (std::strcmp(cls, "#32770") == 0) {
            std::lock_guard<std::mutex> lock(g_lock);
            g_seen.push_back(std::string("title ") + reinterpret_cast<const char*>(call->lParam));
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

CWinThread* NoUiThread(int, UINT, DWORD) {
    return nullptr;
}

DWORD g_dialogDelayMs = 0;

// The real UI thread, made slow before its dialog exists.
class CSlowUiThread : public CUIThread {
    DECLARE_DYNCREATE(CSlowUiThread)

public:
    BOOL InitInstance() override {
        Sleep(g_dialogDelayMs);
        return CUIThread::InitInstance();
    }
};
IMPLEMENT_DYNCREATE(CSlowUiThread, CUIThread)

// A UI thread whose InitInstance makes no dialog: the loop runs with no main window.
class CNoDialogThread : public CWinThread {
    DECLARE_DYNCREATE(CNoDialogThread)

public:
    BOOL InitInstance() override { return TRUE; }
};
IMPLEMENT_DYNCREATE(CNoDialogThread, CWinThread)

const CRuntimeClass* g_uiClass = RUNTIME_CLASS(CUIThread);

// The UI thread, watched from its first message on.
CWinThread* StartWatchedUiThread(int priority, UINT stack, DWORD flags) {
    CWinThread* thread = AfxBeginThread(g_uiClass, priority, stack, flags);
    if (thread != nullptr)
        g_hook = SetWindowsHookExA(WH_CALLWNDPROC, &Record, nullptr, thread->m_nThreadID);
    return thread;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: download_probe URL TARGET [--cancel-after N] [--no-ui]\n");
        return 2;
    }
    bool noUi = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cancel-after") == 0 && i + 1 < argc)
            g_cancelAfter = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--no-ui") == 0)
            noUi = true;
        else if (std::strcmp(argv[i], "--slow-dialog") == 0 && i + 1 < argc) {
            g_dialogDelayMs = static_cast<DWORD>(std::atoi(argv[++i]));
            g_uiClass = RUNTIME_CLASS(CSlowUiThread);
        } else if (std::strcmp(argv[i], "--no-dialog") == 0)
            g_uiClass = RUNTIME_CLASS(CNoDialogThread);
    }
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    CWndShadow::RegisterShadowClass(GetModuleHandleA(nullptr));
    SetUiThreadStarter(noUi ? &NoUiThread : &StartWatchedUiThread);

    CEvent event;
    DownloadJob job;
    job.pEvent = &event;
    job.strUrl = argv[1];
    job.strTargetDir = argv[2];
    CWinThread* worker = AfxBeginThread(&DownloadThreadProc, &job, THREAD_PRIORITY_NORMAL, 0,
                                        CREATE_SUSPENDED, nullptr);
    worker->m_bAutoDelete = FALSE;
    worker->ResumeThread();
    WaitForSingleObject(worker->m_hThread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(worker->m_hThread, &code);
    delete worker;
    const bool signalled = WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
    const bool found = FindWindowA(nullptr, "岫澜汇快速安装程序") != nullptr;

    if (job.pUIThread != nullptr) {
        PostThreadMessageA(job.pUIThread->m_nThreadID, WM_QUIT, 0, 0);
        WaitForSingleObject(job.pUIThread->m_hThread, 5000);
    }
    {
        std::lock_guard<std::mutex> lock(g_lock);
        for (const std::string& line : g_seen)
            std::printf("%s\n", line.c_str());
    }
    std::printf("exit %ld\nevent %d\nuithread %d\nfound %d\n", static_cast<long>(code),
                signalled ? 1 : 0, job.pUIThread != nullptr ? 1 : 0, found ? 1 : 0);
    std::fflush(stdout);
    // A UI thread that was not handed over ends with the process, as in the program.
    ExitProcess(0);
}
