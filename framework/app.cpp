#include "framework/app.h"

#include "framework/screen_text.h"
#include "framework/wnd.h"

const CRuntimeClass CMFCVisualManagerWindows::classCMFCVisualManagerWindows = {
    "CMFCVisualManagerWindows", nullptr};

namespace {

CWinApp* g_pApp = nullptr;
HINSTANCE g_hResources = nullptr;

CString ExecutableBaseName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
    CString name(path);
    name = name.Mid(name.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot > 0 ? name.Left(dot) : name;
}

}  // namespace

CWinApp::CWinApp(const char* lpszAppName) {
    g_pApp = this;
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    m_hThread = GetCurrentThread();
    m_nThreadID = GetCurrentThreadId();
    m_bAutoDelete = FALSE;
    AfxSetCurrentThread(this);
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
    if (AfxGetThread() == this)
        AfxSetCurrentThread(nullptr);
}

int CWinApp::Run() {
    if (m_pMainWnd == nullptr)
        PostQuitMessage(0);
    return CWinThread::Run();
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

const char* AfxGetAppName() {
    if (g_pApp != nullptr && g_pApp->m_pszAppName != nullptr)
        return g_pApp->m_pszAppName;
    static const CString name = ExecutableBaseName();
    return name;
}

HINSTANCE AfxGetInstanceHandle() {
    if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr)
        return g_pApp->m_hInstance;
    return GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResources != nullptr ? g_hResources : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstResource) {
    g_hResources = hInstResource;
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    app->m_hInstance = hInstance;
    if (app->m_pszAppName == nullptr) {
        app->m_strAppName = ExecutableBaseName();
        app->m_pszAppName = app->m_strAppName;
    }
    AfxSetCurrentThread(app);
    if (!app->InitInstance()) {
        if (CWnd* wnd = app->m_pMainWnd)
            wnd->DestroyWindow();
        return app->ExitInstance();
    }
    return app->Run();
}

int AfxMessageBox(const char* lpszText, UINT nType, UINT nIDHelp) {
    return AfxMessageBox(GbkToWide(lpszText).c_str(), nType, nIDHelp);
}

int AfxMessageBox(const wchar_t* lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0)
        nType |= MB_ICONEXCLAMATION;
    // The name is the executable's, as the system's ANSI calls gave it.
    return MessageBoxW(nullptr, lpszText, AnsiToWide(AfxGetAppName()).c_str(), nType);
}
