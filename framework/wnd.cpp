#include "framework/wnd.h"

#include <map>
#include <mutex>

#include "framework/thread.h"

namespace {

// The handle map. Windows live on several threads; the lock keeps the map itself sound.
std::mutex g_mapLock;
std::map<HWND, CWnd*>& HandleMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

struct Creation {
    CWnd* pending = nullptr;
    HHOOK hook = nullptr;
};
thread_local Creation t_creation;

}  // namespace

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    std::lock_guard<std::mutex> lock(g_mapLock);
    const auto it = HandleMap().find(hWnd);
    return it == HandleMap().end() ? nullptr : it->second;
}

CWnd::~CWnd() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    Unbind();  // a window of another thread cannot be destroyed from here; forget it
}

void CWnd::Bind(HWND hWnd) {
    {
        std::lock_guard<std::mutex> lock(g_mapLock);
        HandleMap()[hWnd] = this;
    }
    m_hWnd = hWnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::FrameworkWndProc)));
}

void CWnd::Unbind() {
    if (m_hWnd == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(g_mapLock);
        const auto it = HandleMap().find(m_hWnd);
        if (it != HandleMap().end() && it->second == this)
            HandleMap().erase(it);
    }
    m_hWnd = nullptr;
    CWinThread* thread = AfxGetThread();
    if (thread != nullptr && thread->m_pMainWnd == this)
        thread->m_pMainWnd = nullptr;
}

LRESULT CALLBACK CWnd::CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    Creation& creation = t_creation;
    if (code == HCBT_CREATEWND && creation.pending != nullptr) {
        CWnd* wnd = creation.pending;
        creation.pending = nullptr;  // only the first window; its children are not ours
        wnd->Bind(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(creation.hook, code, wParam, lParam);
}

void CWnd::BeginCreation(CWnd* pWnd) {
    Creation& creation = t_creation;
    creation.pending = pWnd;
    creation.hook = SetWindowsHookExA(WH_CBT, &CWnd::CreationHook, nullptr, GetCurrentThreadId());
}

void CWnd::EndCreation() {
    Creation& creation = t_creation;
    creation.pending = nullptr;
    if (creation.hook != nullptr)
        UnhookWindowsHookEx(creation.hook);
    creation.hook = nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName,
                    DWORD dwStyle, int x, int y, int nWidth, int nHeight, HWND hWndParent,
                    HMENU nIDorHMenu, LPVOID lpParam) {
    if (m_hWnd != nullptr)
        return FALSE;
    BeginCreation(this);
    HWND hWnd =
        CreateWindowExA(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                        hWndParent, nIDorHMenu, GetModuleHandleA(nullptr), lpParam);
    EndCreation();
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    const DWORD style = GetStyle();
    const DWORD newStyle = (style & ~dwRemove) | dwAdd;
    if (style == newStyle)
        return FALSE;
    SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (nFlags != 0) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    }
    return TRUE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    HWND centre =
        pAlternateOwner != nullptr ? pAlternateOwner->m_hWnd : GetWindow(m_hWnd, GW_OWNER);
    RECT area;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoA(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    if (centre != nullptr)
        ::GetWindowRect(centre, &area);
    else
        area = monitor.rcWork;
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int left = (area.left + area.right) / 2 - width / 2;
    int top = (area.top + area.bottom) / 2 - height / 2;
    // Keep the window on its monitor's work area.
    const RECT& work = monitor.rcWork;
    if (left + width > work.right)
        left = work.right - width;
    if (left < work.left)
        left = work.left;
    if (top + height > work.bottom)
        top = work.bottom - height;
    if (top < work.top)
        top = work.top;
    SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

LRESULT CALLBACK CWnd::FrameworkWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (wnd == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    const CurrentMessage outer = wnd->m_current;
    wnd->m_current = {message, wParam, lParam};
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_current = outer;
    if (message == WM_NCDESTROY) {
        wnd->Unbind();
        wnd->m_pfnSuper = nullptr;
        wnd->PostNcDestroy();
    }
    return result;
}
