// The run sequence through the system seam: every branch of the decision after the worker
// (cancelled, failed, launch walk) and of the tail (the UI thread stopped or terminated),
// with scripted workers and UI threads on real threads.
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/kesto_quick_setup.h"
#include "framework/gdiplus_use.h"
#include "tests/win/framework/wait_for.h"
#include "ui/progress_notice.h"

const char* g_pszPackageUrl = "http://127.0.0.1:8731/introduction/download/tarune.zip";

namespace {

// What the scripted worker does.
struct Script {
    DWORD exitCode = 0;
    bool cancel = false;
    const CRuntimeClass* uiThread = nullptr;  // started when set
    bool handOver = true;                     // and then handed over
} g_script;

std::vector<std::string> g_notices;
std::atomic<int> g_uiExits{0};

// A UI thread whose main window records the notices it gets.
class RecordingWnd : public CWnd {
public:
    LRESULT OnNotice(WPARAM, LPARAM lParam) {
        const ProgressNotice* n = reinterpret_cast<const ProgressNotice*>(lParam);
        g_notices.push_back(std::to_string(n->nPercent) + " " + n->szText);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RecordingWnd, CWnd)
ON_MESSAGE(WM_PROGRESS_NOTICE, &RecordingWnd::OnNotice)
END_MESSAGE_MAP()

class RecordingUiThread : public CWinThread {
    DECLARE_DYNCREATE(RecordingUiThread)
public:
    RecordingWnd* m_pWnd = nullptr;
    BOOL InitInstance() override {
        m_pWnd = new RecordingWnd;
        m_pWnd->CreateEx(0, "STATIC", "recorder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
        m_pMainWnd = m_pWnd;
        return TRUE;
    }
    int ExitInstance() override {
        delete m_pWnd;
        ++g_uiExits;
        return CWinThread::ExitInstance();
    }
};
IMPLEMENT_DYNCREATE(RecordingUiThread, CWinThread)

// A UI thread that never takes WM_QUIT.
class StuckUiThread : public CWinThread {
    DECLARE_DYNCREATE(StuckUiThread)
public:
    BOOL InitInstance() override { return TRUE; }
    int Run() override {
        for (;;)
            Sleep(10);
    }
};
IMPLEMENT_DYNCREATE(StuckUiThread, CWinThread)

// A UI thread stuck inside a paint with GDI+.
class StuckPaintingUiThread : public StuckUiThread {
    DECLARE_DYNCREATE(StuckPaintingUiThread)
public:
    int Run() override {
        const CGdiplusUse painting;
        return StuckUiThread::Run();
    }
};
IMPLEMENT_DYNCREATE(StuckPaintingUiThread, StuckUiThread)

UINT __cdecl ScriptedWorker(LPVOID param) {
    DownloadJob* job = static_cast<DownloadJob*>(param);
    if (g_script.uiThread != nullptr) {
        CWinThread* ui =
            AfxBeginThread(g_script.uiThread, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ui->m_bAutoDelete = FALSE;
        ui->ResumeThread();
        WaitFor([&] { return ui->GetMainWnd() != nullptr || ui->WaitForInitInstance(0); });
        if (g_script.handOver)
            job->pUIThread = ui;
    }
    if (g_script.cancel)
        g_bUserCancelled = true;
    job->pEvent->SetEvent();
    return g_script.exitCode;
}

class FakeSystem : public SystemPort {
public:
    std::string tempPath;
    bool workerFails = false;
    std::vector<std::string> calls;  // in order
    std::vector<SHELLEXECUTEINFOA> launches;
    std::vector<std::string> launched, boxes;
    std::string targetDir;
    DWORD tempLength = 0;

    DWORD GetTempPathA(DWORD length, LPSTR buffer) override {
        tempLength = length;
        if (tempPath.size() + 1 > length)
            return static_cast<DWORD>(tempPath.size() + 1);
        std::strcpy(buffer, tempPath.c_str());
        return static_cast<DWORD>(tempPath.size());
    }
    CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID param, int priority, UINT stack, DWORD flags,
                               LPSECURITY_ATTRIBUTES security) override {
        calls.push_back("worker");
        EXPECT_EQ(priority, THREAD_PRIORITY_NORMAL);
        EXPECT_EQ(stack, 0u);
        EXPECT_EQ(flags, DWORD(CREATE_SUSPENDED));
        EXPECT_EQ(security, nullptr);
        targetDir = static_cast<DownloadJob*>(param)->strTargetDir.GetString();
        if (workerFails)
            return nullptr;
        return ::AfxBeginThread(&ScriptedWorker, param, priority, stack, flags, security);
    }
    BOOL TerminateThread(HANDLE thread, DWORD code) override {
        calls.push_back("terminate " + std::to_string(code));
        return ::TerminateThread(thread, code);
    }
    BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) override {
        calls.push_back("launch");
        launches.push_back(*info);
        launched.push_back(info->lpFile);
        return TRUE;
    }
    int AfxMessageBox(const char* text, UINT) override {
        calls.push_back("box");
        boxes.push_back(text);
        return IDOK;
    }
    // Nothing may paint with GDI+ once it is shut down: no use opens from here on.
    void GdiplusShutdown(ULONG_PTR) override {
        calls.push_back(CGdiplusUse() ? "gdiplus off while in use" : "gdiplus off");
    }
};

class RunSequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, temp);
        base_ = std::string(temp) + "kesto_run_" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(base_.c_str(), nullptr);
        system_.tempPath = base_;
        SetSystemPort(&system_);
        g_script = Script();
        g_notices.clear();
        g_bUserCancelled = false;
        OpenGdiplusUse();
    }
    void TearDown() override {
        SetSystemPort(nullptr);
        g_bUserCancelled = false;
        for (const std::string& f : made_)
            DeleteFileA(f.c_str()) || RemoveDirectoryA(f.c_str());
        RemoveDirectoryA((base_ + "tarune").c_str());
        RemoveDirectoryA(base_.c_str());
    }
    void Make(const std::string& name, bool folder) {
        const std::string path = base_ + "tarune\\" + name;
        CreateDirectoryA((base_ + "tarune").c_str(), nullptr);
        if (folder) {
            CreateDirectoryA(path.c_str(), nullptr);
        } else {
            CloseHandle(
                CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        made_.insert(made_.begin(), path);
    }
    BOOL Run() {
        CKestoQuickSetupApp app;
        const BOOL result = app.RunSequence();
        EXPECT_EQ(app.m_pWorkerThread, nullptr);
        EXPECT_EQ(app.m_job.pUIThread, nullptr);
        EXPECT_TRUE(app.m_job.strUrl.IsEmpty());
        return result;
    }

    FakeSystem system_;
    std::string base_;
    std::vector<std::string> made_;
};

TEST_F(RunSequenceTest, FinishedRunLaunchesTheFirstPlainFileAndStopsTheUiThread) {
    Make("sub", true);
    Make("setup.exe", false);
    g_script.uiThread = RUNTIME_CLASS(RecordingUiThread);
    const int exits = g_uiExits;
    EXPECT_FALSE(Run());
    EXPECT_EQ(system_.targetDir, base_ + "tarune");
    EXPECT_EQ(system_.tempLength, DWORD(MAX_PATH));
    EXPECT_EQ(g_notices, std::vector<std::string>{"100 安装程序启动中......"});
    ASSERT_EQ(system_.launched, std::vector<std::string>{base_ + "tarune\\setup.exe"});
    const SHELLEXECUTEINFOA& info = system_.launches[0];
    EXPECT_STREQ(info.lpVerb, "runas");
    EXPECT_EQ(info.lpParameters, nullptr);
    EXPECT_EQ(info.lpDirectory, nullptr);
    EXPECT_EQ(info.fMask, 0u);
    EXPECT_EQ(info.hwnd, nullptr);
    EXPECT_EQ(info.nShow, SW_SHOWNORMAL);
    EXPECT_EQ(g_uiExits, exits + 1);  // WM_QUIT ended it within the grace time
    // The UI thread is stopped before GDI+ goes, since its dialog paints with it.
    EXPECT_EQ(system_.calls, (std::vector<std::string>{"worker", "launch", "gdiplus off"}));
}

TEST_F(RunSequenceTest, OnlyOneFileIsLaunchedAndFoldersNever) {
    Make("0dir", true);
    Make("first.exe", false);
    Make("second.exe", false);
    Make("zdir", true);
    EXPECT_FALSE(Run());
    EXPECT_EQ(system_.launched, std::vector<std::string>{base_ + "tarune\\first.exe"});
}

TEST_F(RunSequenceTest, NothingToLaunchShowsNothing) {
    for (bool folderExists : {false, true}) {
        SCOPED_TRACE(folderExists);
        system_.calls.clear();
        if (folderExists)
            Make("only-folders", true);
        EXPECT_FALSE(Run());
        EXPECT_EQ(system_.calls, (std::vector<std::string>{"worker", "gdiplus off"}));
    }
}

TEST_F(RunSequenceTest, CancelledOrFailedRunsLaunchNothing) {
    // A package there to launch, each time.
    Make("setup.exe", false);
    const DWORD failed = static_cast<DWORD>(-1);
    const CRuntimeClass* ui = RUNTIME_CLASS(RecordingUiThread);
    const struct {
        int line;
        Script script;
        bool workerFails;
        std::vector<std::string> calls;
    } rows[] = {
        // A cancel shows and launches nothing, also when the worker failed after it.
        {__LINE__, {0, true, ui, true}, false, {"worker", "gdiplus off"}},
        {__LINE__, {failed, true, ui, false}, false, {"worker", "gdiplus off"}},
        {__LINE__, {failed, false, nullptr, true}, false, {"worker", "box", "gdiplus off"}},
        // Failed after the 200 answer: the dialog, not handed over, lives on behind the
        // message and past GDI+.
        {__LINE__, {failed, false, ui, false}, false, {"worker", "box", "gdiplus off"}},
        {__LINE__, {}, true, {"worker", "box", "gdiplus off"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        g_script = row.script;
        g_notices.clear();
        g_bUserCancelled = false;
        system_.calls.clear();
        system_.boxes.clear();
        system_.workerFails = row.workerFails;
        EXPECT_FALSE(Run());
        EXPECT_EQ(system_.calls, row.calls);
        for (const std::string& box : system_.boxes)
            EXPECT_EQ(box, "下载发生错误,请重试!");
        EXPECT_TRUE(system_.launched.empty());
        EXPECT_TRUE(g_notices.empty());
    }
}

TEST_F(RunSequenceTest, UiThreadThatKeepsRunningIsTerminatedAfterTheGrace) {
    g_script.uiThread = RUNTIME_CLASS(StuckUiThread);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Run());
    EXPECT_GE(GetTickCount64() - start, 1900u);
    EXPECT_EQ(system_.calls, (std::vector<std::string>{"worker", "terminate 259", "gdiplus off"}));
}

TEST_F(RunSequenceTest, UiThreadTerminatedInsideAPaintLeavesGdiplusAlone) {
    // Stopped while it held GDI+, it may have left GDI+'s own state locked: no shutdown, and
    // no wait for a paint that never ends.
    g_script.uiThread = RUNTIME_CLASS(StuckPaintingUiThread);
    EXPECT_FALSE(Run());
    EXPECT_EQ(system_.calls, (std::vector<std::string>{"worker", "terminate 259"}));
}

TEST_F(RunSequenceTest, LongTemporaryPathsGetTheirFolderOrEndTheRun) {
    // 70 characters: more than some would give room for, still a right folder.
    system_.tempPath = base_ + std::string(70 - base_.size() - 1, 'x') + "\\";
    CreateDirectoryA(system_.tempPath.c_str(), nullptr);
    EXPECT_FALSE(Run());
    EXPECT_EQ(system_.targetDir, system_.tempPath + "tarune");
    RemoveDirectoryA(system_.tempPath.c_str());
    // At the limit: the folder (path + "tarune") and its launch pattern (+ "\\*.*") must fit
    // in 259 characters, so 249 is the longest path that runs; 250 on ends before fetching.
    const struct {
        int line;
        size_t length;  // of the temporary path, its final separator included
        bool runs;
    } rows[] = {
        {__LINE__, 245, true},  {__LINE__, 248, true},  {__LINE__, 249, true},
        {__LINE__, 250, false}, {__LINE__, 251, false}, {__LINE__, 252, false},
        {__LINE__, 253, false}, {__LINE__, 256, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        system_.calls.clear();
        system_.targetDir.clear();
        system_.tempPath = "C:\\" + std::string(row.length - 4, 'y') + "\\";
        ASSERT_EQ(system_.tempPath.size(), row.length);
        EXPECT_FALSE(Run());
        if (row.runs) {
            ASSERT_FALSE(system_.calls.empty());
            EXPECT_EQ(system_.calls.front(), "worker");
            EXPECT_EQ(system_.targetDir, system_.tempPath + "tarune");
        } else {
            EXPECT_EQ(system_.calls, (std::vector<std::string>{"box", "gdiplus off"}));
            EXPECT_EQ(system_.boxes.back(), "下载发生错误,请重试!");
        }
    }
}

}  // namespace
