// framework/wnd.h: CWnd, a window object bound to its HWND, and CStatic.
//
// A window made through CreateEx (or a dialog's Create) is bound at HCBT_CREATEWND, before
// its first message: it enters the handle map and its window procedure is replaced by the
// framework's, which runs the object's message map and passes what the map does not handle
// to the procedure it replaced ("the default processing"). At WM_NCDESTROY the object is
// unbound, and a thread whose main window it was forgets it.
#ifndef KESTO_FRAMEWORK_WND_H
#define KESTO_FRAMEWORK_WND_H

#include <windows.h>

#include "framework/object.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;  // destroys the window if it still exists
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object bound to hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    BOOL CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName,
                  DWORD dwStyle, int x, int y, int nWidth, int nHeight, HWND hWndParent,
                  HMENU nIDorHMenu, LPVOID lpParam = nullptr);
    BOOL DestroyWindow();

    DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)); }
    // Returns FALSE when the style was already so; nFlags != 0 adds a SetWindowPos with them.
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE) {
        ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
    }
    // Centres on the owner, or on the work area of the window's monitor when there is none.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void SetWindowText(const char* lpszString) { ::SetWindowTextA(m_hWnd, lpszString); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(const RECT* lpRect, BOOL bErase = TRUE) {
        ::InvalidateRect(m_hWnd, lpRect, bErase);
    }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* lpRectUpdate = nullptr, HRGN prgnUpdate = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
        return ::RedrawWindow(m_hWnd, lpRectUpdate, prgnUpdate, flags);
    }
    int SetWindowRgn(HRGN hRgn, BOOL bRedraw) { return ::SetWindowRgn(m_hWnd, hRgn, bRedraw); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    // Runs the default processing of the message being handled.
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreTranslateMessage(MSG* pMsg) {
        (void)pMsg;
        return FALSE;
    }

    HWND m_hWnd = nullptr;

protected:
    // Handlers whose whole work is the default processing; derived handlers call them.
    void OnPaint() { Default(); }
    BOOL OnEraseBkgnd(HDC) { return static_cast<BOOL>(Default()); }
    void OnSize(UINT, int, int) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnMouseLeave() { Default(); }
    void OnLButtonDown(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }

    // Called after the window is gone and the object unbound.
    virtual void PostNcDestroy() {}

    // Binds the next window this thread creates to pWnd (null ends the binding).
    static void BeginCreation(CWnd* pWnd);
    static void EndCreation();

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    void Bind(HWND hWnd);
    void Unbind();
    static LRESULT CALLBACK FrameworkWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    CurrentMessage m_current = {WM_NULL, 0, 0};
};

class CStatic : public CWnd {
public:
    BOOL Create(const char* lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID = 0xffff) {
        return CreateEx(0, "STATIC", lpszText, dwStyle, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                        reinterpret_cast<HMENU>(UINT_PTR(nID)));
    }
};

#endif  // KESTO_FRAMEWORK_WND_H
