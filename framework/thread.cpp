#include "framework/thread.h"

#include <process.h>

#include "framework/wnd.h"

namespace {
thread_local CWinThread* t_currentThread = nullptr;
}  // namespace

CWinThread* AfxGetThread() {
    return t_currentThread;
}
void AfxSetCurrentThread(CWinThread* pThread) {
    t_currentThread = pThread;
}

CWinThread::CWinThread() : m_initDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam),
      m_initDone(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CWinThread::~CWinThread() {
    // The application object holds a pseudo handle of the main thread, which is not closed.
    if (m_hThread != nullptr && m_hThread != GetCurrentThread())
        CloseHandle(m_hThread);
}

unsigned __stdcall AfxThreadEntry(void* param) {
    CWinThread* thread = static_cast<CWinThread*>(param);
    AfxSetCurrentThread(thread);
    unsigned code;
    if (thread->m_pfnThreadProc != nullptr) {
        code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    } else {
        const BOOL initialised = thread->InitInstance();
        SetEvent(thread->m_initDone.Get());
        if (initialised) {
            code = static_cast<unsigned>(thread->Run());
        } else {
            if (CWnd* wnd = thread->m_pMainWnd)
                wnd->DestroyWindow();
            code = static_cast<unsigned>(thread->ExitInstance());
        }
    }
    AfxSetCurrentThread(nullptr);
    thread->Delete();
    return code;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    unsigned id = 0;
    const uintptr_t handle = _beginthreadex(lpSecurityAttrs, nStackSize, &AfxThreadEntry, this,
                                            dwCreateFlags & CREATE_SUSPENDED, &id);
    if (handle == 0)
        return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(handle);
    m_nThreadID = id;
    return TRUE;
}

int CWinThread::Run() {
    for (;;) {
        const BOOL got = GetMessageA(&m_msgCur, nullptr, 0, 0);
        if (got == 0 || got == -1)
            return ExitInstance();
        if (!PreTranslateMessage(&m_msgCur)) {
            TranslateMessage(&m_msgCur);
            DispatchMessageA(&m_msgCur);
        }
    }
}

int CWinThread::ExitInstance() {
    return static_cast<int>(m_msgCur.wParam);
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg) {
    // Keyboard navigation (Esc, Enter) belongs to the top-level window the message is for.
    if (pMsg->hwnd == nullptr)
        return FALSE;
    CWnd* root = CWnd::FromHandlePermanent(GetAncestor(pMsg->hwnd, GA_ROOT));
    return root != nullptr && root->PreTranslateMessage(pMsg);
}

BOOL CWinThread::WaitForInitInstance(DWORD dwMilliseconds) const {
    const HANDLE handles[] = {m_initDone.Get(), m_hThread};
    return WaitForMultipleObjects(2, handles, FALSE, dwMilliseconds) < WAIT_OBJECT_0 + 2;
}

void CWinThread::Delete() {
    if (m_bAutoDelete)
        delete this;
}

namespace {

// Starts the thread suspended, as the framework does, so the priority is set before it runs.
CWinThread* StartThread(CWinThread* thread, int nPriority, UINT nStackSize, DWORD dwCreateFlags,
                        LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    if (thread == nullptr)
        return nullptr;
    if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        thread->ResumeThread();
    return thread;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    return StartThread(new CWinThread(pfnThreadProc, pParam), nPriority, nStackSize, dwCreateFlags,
                       lpSecurityAttrs);
}

CWinThread* AfxBeginThread(const CRuntimeClass* pThreadClass, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    return StartThread(static_cast<CWinThread*>(pThreadClass->CreateObject()), nPriority,
                       nStackSize, dwCreateFlags, lpSecurityAttrs);
}
