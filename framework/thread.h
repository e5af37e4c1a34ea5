// framework/thread.h: CWinThread and AfxBeginThread. A thread runs either a controlling
// function (a worker) or InitInstance, the message loop and ExitInstance (a UI thread). With
// m_bAutoDelete on, the object deletes itself when its thread ends; with it off, the object
// and its thread handle stay for the owner to wait on and delete.
#ifndef KESTO_FRAMEWORK_THREAD_H
#define KESTO_FRAMEWORK_THREAD_H

#include <windows.h>

#include <atomic>

#include "framework/object.h"
#include "framework/scoped_handle.h"

class CWnd;

typedef UINT(__cdecl* AFX_THREADPROC)(LPVOID);

// A pointer other threads may read while its own thread writes it.
template <typename T>
class SharedPointer {
public:
    SharedPointer(T* value = nullptr) : m_value(value) {}  // NOLINT: plain pointer semantics
    SharedPointer& operator=(T* value) {
        m_value.store(value);
        return *this;
    }
    operator T*() const { return m_value.load(); }
    T* operator->() const { return m_value.load(); }

private:
    std::atomic<T*> m_value;
};

class CWinThread : public CCmdTarget {
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread() override;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    BOOL SetThreadPriority(int nPriority) { return ::SetThreadPriority(m_hThread, nPriority); }
    operator HANDLE() const { return m_hThread; }

    virtual BOOL InitInstance() { return FALSE; }
    virtual int Run();  // the message loop; returns ExitInstance() at WM_QUIT
    virtual int ExitInstance();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual CWnd* GetMainWnd() { return m_pMainWnd; }
    // Deletes the object when auto-delete is on; does nothing otherwise.
    virtual void Delete();
    // Waits until InitInstance has returned, whatever it returned, or the thread has ended:
    // TRUE then, FALSE when dwMilliseconds pass first. Another thread asks this before it
    // looks for the main window, which InitInstance makes.
    BOOL WaitForInitInstance(DWORD dwMilliseconds) const;

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;
    SharedPointer<CWnd> m_pMainWnd;
    AFX_THREADPROC m_pfnThreadProc = nullptr;
    LPVOID m_pThreadParams = nullptr;

protected:
    MSG m_msgCur = {};

private:
    ScopedHandle<KernelHandleTraits> m_initDone;  // manual reset, set once
    friend unsigned __stdcall AfxThreadEntry(void* pThread);
};

// The object of the calling thread: the application's for the main thread, null for threads
// the framework did not start.
CWinThread* AfxGetThread();
void AfxSetCurrentThread(CWinThread* pThread);

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
CWinThread* AfxBeginThread(const CRuntimeClass* pThreadClass,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

#endif  // KESTO_FRAMEWORK_THREAD_H
