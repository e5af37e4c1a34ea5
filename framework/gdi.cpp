#include "framework/gdi.h"

#include "framework/wnd.h"

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    const COLORREF previous = ::SetBkColor(m_hDC, clr);
    // A negative extent reaches back from (x, y), as Draw3dRect's right and bottom edges do.
    const RECT rect = {cx < 0 ? x + cx : x, cy < 0 ? y + cy : y, cx < 0 ? x : x + cx,
                       cy < 0 ? y : y + cy};
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

void CDC::Draw3dRect(const RECT* lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    const int x = lpRect->left;
    const int y = lpRect->top;
    const int cx = lpRect->right - lpRect->left;
    const int cy = lpRect->bottom - lpRect->top;
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx, y, -1, cy, clrBottomRight);
    FillSolidRect(x, y + cy, cx, -1, clrBottomRight);
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) {
    m_hDC = BeginPaint(m_hWnd, &m_ps);
}

CPaintDC::~CPaintDC() {
    EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hDC(GetDC(pWnd->m_hWnd)), m_hWnd(pWnd->m_hWnd) {}

CClientDC::~CClientDC() {
    if (m_hDC != nullptr)
        ReleaseDC(m_hWnd, m_hDC);
}
