// Windows, message maps, dialogs and threads: what the program's UI thread relies on.
#include <atomic>

#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "tests/win/framework/wait_for.h"

namespace {

const char kProbeClass[] = "KestoFrameworkProbe";

void RegisterProbeClass() {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kProbeClass;
    RegisterClassExA(&wc);
}

class BaseWnd : public CWnd {
public:
    int m_nSizes = 0;
    int m_nPaints = 0;
    LRESULT OnBaseOnly(WPARAM, LPARAM) { return 1; }
    LRESULT OnShared(WPARAM, LPARAM) { return 10; }
    void OnSize(UINT nType, int cx, int cy) {
        CWnd::OnSize(nType, cx, cy);
        ++m_nSizes;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
ON_MESSAGE(WM_USER + 1, &BaseWnd::OnBaseOnly)
ON_MESSAGE(WM_USER + 2, &BaseWnd::OnShared)
ON_WM_SIZE()
END_MESSAGE_MAP()

class DerivedWnd : public BaseWnd {
public:
    int m_nDerivedSizes = 0;
    bool m_bSawText = false;
    LRESULT OnShared(WPARAM, LPARAM) { return 20; }
    LRESULT OnSetText(WPARAM, LPARAM) {
        const LRESULT result = Default();  // the window keeps its own copy first
        m_bSawText = true;
        return result;
    }
    void OnSize(UINT nType, int cx, int cy) {
        BaseWnd::OnSize(nType, cx, cy);
        ++m_nDerivedSizes;
    }
    void OnPaint() {
        CPaintDC dc(this);
        ++m_nPaints;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
ON_MESSAGE(WM_USER + 2, &DerivedWnd::OnShared)
ON_MESSAGE(WM_SETTEXT, &DerivedWnd::OnSetText)
ON_WM_SIZE()
ON_WM_PAINT()
END_MESSAGE_MAP()

TEST(CWndTest, MessageMapsChainToTheBaseAndDefaultRuns) {
    RegisterProbeClass();
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kProbeClass, "probe", WS_POPUP, 10, 10, 100, 50, nullptr, nullptr));
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_EQ(wnd.SendMessage(WM_USER + 1), 1);   // only the base handles it
    EXPECT_EQ(wnd.SendMessage(WM_USER + 2), 20);  // the derived entry wins
    EXPECT_EQ(wnd.SendMessage(WM_USER + 3), 0);   // nobody: the class's procedure
    wnd.SetWindowText("new title");
    EXPECT_TRUE(wnd.m_bSawText);
    char text[32] = {};
    GetWindowTextA(wnd.m_hWnd, text, sizeof(text));
    EXPECT_STREQ(text, "new title");
    const int before = wnd.m_nSizes;
    wnd.MoveWindow(0, 0, 120, 60, FALSE);
    EXPECT_EQ(wnd.m_nSizes, before + 1);  // the derived handler called the base one once
    EXPECT_EQ(wnd.m_nDerivedSizes, before + 1);
    HWND hwnd = wnd.m_hWnd;
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hwnd), nullptr);
}

TEST(CWndTest, RedrawWithUpdateNowPaintsBeforeReturning) {
    RegisterProbeClass();
    DerivedWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kProbeClass, "probe", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                             nullptr));
    wnd.UpdateWindow();
    const int before = wnd.m_nPaints;
    wnd.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(wnd.m_nPaints, before + 1);
    const RECT part = {0, 0, 10, 10};
    wnd.InvalidateRect(&part, FALSE);
    EXPECT_EQ(wnd.m_nPaints, before + 1);  // invalidating alone paints nothing
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.m_nPaints, before + 2);
    wnd.Invalidate(FALSE);
    wnd.UpdateWindow();
    EXPECT_EQ(wnd.m_nPaints, before + 3);
}  // the destructor destroys the window

TEST(CWndTest, ModifyStyleWithFrameChangeDropsTheBorderAndCenterUsesTheWorkArea) {
    RegisterProbeClass();
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kProbeClass, "probe", WS_POPUP | WS_CAPTION | WS_THICKFRAME, 0, 0,
                             300, 200, nullptr, nullptr));
    RECT client;
    wnd.GetClientRect(&client);
    EXPECT_LT(client.right, 300);
    EXPECT_TRUE(wnd.ModifyStyle(WS_CAPTION | WS_THICKFRAME, 0, SWP_FRAMECHANGED));
    EXPECT_FALSE(wnd.ModifyStyle(WS_CAPTION, 0, SWP_FRAMECHANGED));  // nothing left to change
    wnd.GetClientRect(&client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);

    wnd.MoveWindow(0, 0, 570, 184);
    wnd.CenterWindow();
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window;
    wnd.GetWindowRect(&window);
    EXPECT_EQ(window.left, (work.left + work.right) / 2 - 285);
    EXPECT_EQ(window.top, (work.top + work.bottom) / 2 - 92);
    EXPECT_EQ(window.right - window.left, 570);
}

class SubclassedStatic : public CStatic {
public:
    int m_nErases = 0;
    BOOL OnEraseBkgnd(HDC) {
        ++m_nErases;
        return TRUE;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SubclassedStatic, CStatic)
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

TEST(CStaticTest, ChildCreatedWithCreateIsSubclassed) {
    RegisterProbeClass();
    CWnd parent;
    ASSERT_TRUE(
        parent.CreateEx(0, kProbeClass, "parent", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr));
    SubclassedStatic child;
    const RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(child.Create("", WS_CHILD, empty, &parent, 0));
    EXPECT_EQ(GetParent(child.m_hWnd), parent.m_hWnd);
    char cls[16] = {};
    GetClassNameA(child.m_hWnd, cls, sizeof(cls));
    EXPECT_STREQ(cls, "Static");
    EXPECT_EQ(child.SendMessage(WM_ERASEBKGND, 0, 0), TRUE);
    EXPECT_EQ(child.m_nErases, 1);
    child.SetWindowText("kept");  // not mapped: the static control's own handling
    char text[16] = {};
    GetWindowTextA(child.m_hWnd, text, sizeof(text));
    EXPECT_STREQ(text, "kept");
}

// A modeless dialog on a UI thread, as the program's progress window lives.
std::atomic<int> g_initDialogs{0}, g_oks{0}, g_cancels{0}, g_exits{0};
std::atomic<bool> g_threadWasCurrent{false};

class ProbeDialog : public CDialogEx {
public:
    ProbeDialog() : CDialogEx(102) {}
    BOOL OnInitDialog() override {
        CDialogEx::OnInitDialog();
        ++g_initDialogs;
        return TRUE;
    }
    void OnOK() override {
        ++g_oks;
        CDialogEx::OnOK();
    }
    void OnCancel() override {
        ++g_cancels;
        CDialogEx::OnCancel();
    }
    LRESULT OnDestroyRequest(WPARAM, LPARAM) {
        DestroyWindow();
        return 0;
    }
    LRESULT OnPing(WPARAM wParam, LPARAM) { return static_cast<LRESULT>(wParam) + 1; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ProbeDialog, CDialogEx)
ON_MESSAGE(WM_USER + 1, &ProbeDialog::OnPing)
ON_MESSAGE(WM_USER + 9, &ProbeDialog::OnDestroyRequest)
END_MESSAGE_MAP()

class ProbeUiThread : public CWinThread {
    DECLARE_DYNCREATE(ProbeUiThread)
public:
    ProbeDialog* m_pDialog = nullptr;
    BOOL InitInstance() override {
        g_threadWasCurrent = AfxGetThread() == this;
        m_pDialog = new ProbeDialog;
        m_pDialog->Create(102);
        m_pDialog->ShowWindow(SW_SHOW);
        m_pMainWnd = m_pDialog;
        return TRUE;
    }
    int ExitInstance() override {
        ++g_exits;
        delete m_pDialog;
        m_pDialog = nullptr;
        return CWinThread::ExitInstance();
    }
};

IMPLEMENT_DYNCREATE(ProbeUiThread, CWinThread)

HWND MainWindowOf(CWinThread* thread) {
    CWnd* main = thread->GetMainWnd();
    return main != nullptr && IsWindow(main->m_hWnd) ? main->m_hWnd : nullptr;
}

TEST(UiThreadTest, ModelessDialogLivesOnItsThreadUntilWmQuit) {
    const int exitsBefore = g_exits;
    CWinThread* thread =
        AfxBeginThread(RUNTIME_CLASS(ProbeUiThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(thread->GetMainWnd(), nullptr);
    EXPECT_EQ(thread->ResumeThread(), 1u);  // it was suspended
    ASSERT_TRUE(WaitFor([&] { return MainWindowOf(thread) != nullptr; }));
    HWND dialog = MainWindowOf(thread);
    EXPECT_TRUE(g_threadWasCurrent);
    EXPECT_EQ(g_initDialogs, 1);
    EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), thread->m_nThreadID);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr);  // no main window to fall back on
    EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    char caption[32] = {};
    GetWindowTextA(dialog, caption, sizeof(caption));
    EXPECT_STREQ(caption, "FrameworkProbe");
    EXPECT_TRUE(IsWindowVisible(dialog));

    // Esc, Enter and WM_CLOSE each end the dialog, which hides it; it still takes messages.
    struct Row {
        UINT message;
        WPARAM wParam;
        int oks, cancels;
    } rows[] = {{WM_KEYDOWN, VK_ESCAPE, 0, 1}, {WM_KEYDOWN, VK_RETURN, 1, 1}, {WM_CLOSE, 0, 1, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message == WM_CLOSE   ? "WM_CLOSE"
                     : row.wParam == VK_ESCAPE ? "Esc"
                                               : "Enter");
        ShowWindow(dialog, SW_SHOW);
        ASSERT_TRUE(IsWindowVisible(dialog));
        PostMessageA(dialog, row.message, row.wParam, 0);
        EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog); }));
        EXPECT_EQ(g_oks, row.oks);
        EXPECT_EQ(g_cancels, row.cancels);
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_EQ(SendMessageA(dialog, WM_USER + 1, 41, 0), 42);
    }

    PostThreadMessageA(thread->m_nThreadID, WM_QUIT, 7, 0);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 10000), DWORD(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(code, 7u);  // WM_QUIT's wParam through ExitInstance
    EXPECT_EQ(g_exits, exitsBefore + 1);
    EXPECT_FALSE(IsWindow(dialog));  // ExitInstance deleted the dialog and its window
    thread->Delete();                // auto-delete is off: nothing happens
    EXPECT_EQ(thread->m_nThreadID, GetThreadId(thread->m_hThread));
    delete thread;
}

TEST(UiThreadTest, DestroyingTheMainWindowClearsIt) {
    CWinThread* thread =
        AfxBeginThread(RUNTIME_CLASS(ProbeUiThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    thread->ResumeThread();
    ASSERT_TRUE(WaitFor([&] { return MainWindowOf(thread) != nullptr; }));
    HWND dialog = MainWindowOf(thread);
    SendMessageA(dialog, WM_USER + 9, 0, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(thread->GetMainWnd(), nullptr);
    PostThreadMessageA(thread->m_nThreadID, WM_QUIT, 0, 0);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 10000), DWORD(WAIT_OBJECT_0));
    delete thread;
}

struct WorkerParam {
    std::atomic<int> runs{0};
    CWinThread* seenAsCurrent = nullptr;
};

UINT __cdecl Worker(LPVOID param) {
    WorkerParam* p = static_cast<WorkerParam*>(param);
    ++p->runs;
    p->seenAsCurrent = AfxGetThread();
    return static_cast<UINT>(-1);
}

TEST(WorkerThreadTest, SuspendedUntilResumedAndKeptWithoutAutoDelete) {
    WorkerParam param;
    CWinThread* thread =
        AfxBeginThread(&Worker, &param, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(param.runs, 0);
    EXPECT_EQ(GetThreadPriority(thread->m_hThread), THREAD_PRIORITY_NORMAL);
    EXPECT_EQ(thread->ResumeThread(), 1u);
    ASSERT_EQ(WaitForSingleObject(thread->m_hThread, 10000), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(param.runs, 1);
    EXPECT_EQ(param.seenAsCurrent, thread);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread->m_hThread, &code));
    EXPECT_EQ(code, 0xFFFFFFFFu);  // -1, all bits set
    delete thread;
}

std::atomic<int> g_autoDeleted{0};

class SelfDeletingThread : public CWinThread {
    DECLARE_DYNCREATE(SelfDeletingThread)
public:
    ~SelfDeletingThread() override { ++g_autoDeleted; }
    BOOL InitInstance() override { return FALSE; }  // straight to ExitInstance
};

IMPLEMENT_DYNCREATE(SelfDeletingThread, CWinThread)

TEST(WorkerThreadTest, AutoDeleteDeletesTheObjectWhenTheThreadEnds) {
    EXPECT_STREQ(RUNTIME_CLASS(SelfDeletingThread)->m_lpszClassName, "SelfDeletingThread");
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(SelfDeletingThread));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(WaitFor([] { return g_autoDeleted == 1; }));
}

}  // namespace
