#include "ui/progress_ctrl.h"

#include <algorithm>
#include <cstring>

#include "framework/gdiplus_use.h"
#include "ui/draw_fun.h"

BEGIN_MESSAGE_MAP(CKestoProgressCtrl, CStatic)
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_WM_SIZE()
ON_MESSAGE(WM_SETTEXT, &CKestoProgressCtrl::OnSetText)
ON_MESSAGE(WM_GETTEXT, &CKestoProgressCtrl::OnGetText)
END_MESSAGE_MAP()

CKestoProgressCtrl::CKestoProgressCtrl()
    : m_clrTextOnRest(GetSysColor(COLOR_HIGHLIGHT)), m_clrTextOnFill(GetSysColor(COLOR_WINDOW)) {
    m_hFont = CreateFontA(-MulDiv(10, 96, 72), 0, 0, 0, 100, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, "微软雅黑");
}

CKestoProgressCtrl::~CKestoProgressCtrl() {
    if (m_hFont != nullptr)
        DeleteObject(m_hFont);
    m_hFont = nullptr;
    m_bmpBuffer.DeleteObject();
    m_memDC.DeleteDC();
}

double CKestoProgressCtrl::FillRatio() const {
    return double(m_nPos - m_nLower) / double(m_nUpper - m_nLower);
}

int CKestoProgressCtrl::FillWidth(int clientWidth) const {
    return static_cast<int>(double(clientWidth) * FillRatio());
}

CString CKestoProgressCtrl::BarText(bool useStatusText) const {
    if (useStatusText && !m_strText.IsEmpty())
        return m_strText;
    CString text;
    text.Format("%d%%", static_cast<int>(FillRatio() * 100.0));
    return text;
}

int CKestoProgressCtrl::SetProgress(int nPos) {
    if (m_hWnd == nullptr || !IsWindow(m_hWnd))
        return -1;
    const int old = m_nPos;
    m_nPos = nPos;
    RECT client;
    GetClientRect(&client);
    const int fill = FillWidth(client.right - client.left);
    if (fill != m_nLastFill) {
        m_nLastFill = fill;
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
    return old;
}

void CKestoProgressCtrl::SetShowText(BOOL bShow) {
    if (m_hWnd != nullptr && IsWindow(m_hWnd) && bShow != m_bShowText)
        Invalidate(TRUE);
    m_bShowText = bShow;
}

BOOL CKestoProgressCtrl::OnEraseBkgnd(HDC) {
    return TRUE;
}

void CKestoProgressCtrl::OnSize(UINT nType, int cx, int cy) {
    CStatic::OnSize(nType, cx, cy);
    m_nLastFill = -1;
    CClientDC window(this);
    if (window.m_hDC == nullptr)
        return;
    RECT client;
    GetClientRect(&client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    BITMAP info;
    if (m_bmpBuffer.GetBitmap(&info) != 0) {
        if (info.bmWidth == width)
            return;  // a change of height alone keeps the buffer
        m_bmpBuffer.DeleteObject();
    }
    m_bmpBuffer.CreateCompatibleBitmap(window, width, height);
    m_bStripInBuffer = false;
}

LRESULT CKestoProgressCtrl::OnSetText(WPARAM, LPARAM lParam) {
    const LRESULT result = Default();
    const char* text = reinterpret_cast<const char*>(lParam);
    if (m_strText == (text != nullptr ? text : ""))
        return result;
    m_strText = text;
    Invalidate(TRUE);
    return result;
}

LRESULT CKestoProgressCtrl::OnGetText(WPARAM wParam, LPARAM lParam) {
    char* buffer = reinterpret_cast<char*>(lParam);
    if (buffer == nullptr || wParam == 0)
        return 0;
    const size_t count = std::min<size_t>(static_cast<size_t>(m_strText.GetLength()), wParam - 1);
    std::memcpy(buffer, m_strText.GetString(), count);
    buffer[count] = '\0';
    return static_cast<LRESULT>(count);
}

void CKestoProgressCtrl::OnPaint() {
    CPaintDC paint(this);
    if (m_nLower >= m_nUpper)
        return;
    RECT client;
    GetClientRect(&client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (m_memDC.m_hDC == nullptr)
        m_memDC.CreateCompatibleDC(paint);
    {
        CSelectObject buffer(m_memDC, m_bmpBuffer);
        if (m_nBarStyle == 0)
            PaintFramedBar(paint, width, height);
        else if (m_nBarStyle == 2)
            PaintImageStrip(paint, width, height);
        else
            PaintTiledBar(paint, width, height);
    }
    m_memDC.DeleteDC();
}

void CKestoProgressCtrl::PaintImageStrip(HDC window, int width, int height) {
    if (m_pImage == nullptr)
        return;
    const RECT client = {0, 0, width, height};
    const COLORREF oldBk = SetBkColor(window, RGB(34, 38, 44));
    ExtTextOutA(window, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    SetBkColor(window, oldBk);
    // Positions outside the range are never passed here; they show an empty or a full bar.
    const int fill = std::max(0, std::min(FillWidth(width), width));
    if (const CGdiplusUse gdiplus{}; gdiplus) {
        Gdiplus::Graphics graphics(m_memDC.m_hDC);
        const int imageWidth = static_cast<int>(m_pImage->GetWidth());
        m_nStripHeight = static_cast<int>(m_pImage->GetHeight());
        if (width >= imageWidth) {
            graphics.DrawImage(m_pImage, 0, 0, width, m_nStripHeight);
        } else {
            const Gdiplus::Rect destination(0, 0, width, height);
            graphics.DrawImage(m_pImage, destination, imageWidth - width, 0, width, m_nStripHeight,
                               Gdiplus::UnitPixel);
        }
        m_bStripInBuffer = true;
    }
    // Without GDI+ (its shutdown came first) the strip the buffer holds still shows the fill.
    if (fill > 0 && m_bStripInBuffer)
        BitBlt(window, 0, 0, fill, m_nStripHeight, m_memDC, width - fill, 0, SRCCOPY);
}

void CKestoProgressCtrl::PaintFramedBar(HDC window, int width, int height) {
    const int fill = FillWidth(width);
    KESTODRAWFUN::DrawWhiteLine(m_memDC, 0, height - 1, width, height - 1);
    const RECT frame = {0, 0, width, height - 1};
    m_memDC.Draw3dRect(&frame, m_clrFrame, m_clrFrame);
    const RECT fillFrame = {1, 1, fill, height - 2};
    m_memDC.Draw3dRect(&fillFrame, m_clrFillFrame, m_clrFillFrame);
    const RECT filled = {2, 2, fill - 1, height - 3};
    KESTODRAWFUN::FillGradientRect(m_memDC, &filled, m_clrFillTop, m_clrFillBottom);
    const RECT rest = {fill, 1, width - 1, height - 2};
    KESTODRAWFUN::FillGradientRect(m_memDC, &rest, m_clrRestTop, m_clrRestBottom);
    if (m_bShowText) {
        const CString text = BarText(true);
        const int oldMode = SetBkMode(m_memDC, TRANSPARENT);
        RECT all = {0, 0, width, height};
        const struct {
            const RECT& clip;
            COLORREF colour;
        } parts[] = {{filled, m_clrTextOnFill}, {rest, m_clrTextOnRest}};
        for (const auto& part : parts) {
            ScopedRegion clip(CreateRectRgnIndirect(&part.clip));
            SelectClipRgn(m_memDC, clip.Get());
            KESTODRAWFUN::DrawColorText(m_memDC, text, text.GetLength(), &all,
                                        DT_CENTER | DT_VCENTER | DT_SINGLELINE, m_hFont,
                                        part.colour);
        }
        SelectClipRgn(m_memDC, nullptr);
        SetBkMode(m_memDC, oldMode);
    }
    BitBlt(window, 0, 0, width, height, m_memDC, 0, 0, SRCCOPY);
}

void CKestoProgressCtrl::PaintTiledBar(HDC window, int width, int height) {
    // Setting the region repaints the window; doing it on every paint would never end, so it
    // is set when the size it was made for changes.
    if (m_regionSize.cx != width || m_regionSize.cy != height) {
        m_regionSize = {width, height};
        SetWindowRgn(CreateRoundRectRgn(0, 0, width, height, 4, 6), TRUE);
    }
    const RECT client = {0, 0, width, height};
    KESTODRAWFUN::FillGradientRect(window, &client, RGB(193, 211, 223), RGB(211, 220, 229));
    BITMAP tile;
    if (m_hTileBitmap != nullptr && GetObjectA(m_hTileBitmap, sizeof(tile), &tile) != 0 &&
        tile.bmWidth > 0) {
        const int fill = FillWidth(width);
        const int tileWidth = static_cast<int>(tile.bmWidth);
        const int tileHeight = static_cast<int>(tile.bmHeight);
        const int n = fill / tileWidth;
        const POINT origin = {0, 0};
        for (int k = 0; n >= 0 && k <= n; ++k) {
            const RECT cell = {k * tileWidth, 1, std::min(k * tileWidth + tileWidth, width),
                               tileHeight + 1};
            KESTODRAWFUN::DrawBitmapRect(window, &cell, m_hTileBitmap, &origin);
        }
    }
    if (m_bShowText) {
        const CString text = BarText(false);
        const int oldMode = SetBkMode(window, TRANSPARENT);
        RECT all = client;
        KESTODRAWFUN::DrawColorText(window, text, text.GetLength(), &all,
                                    DT_CENTER | DT_VCENTER | DT_SINGLELINE, m_hFont,
                                    m_clrTextOnRest);
        SetBkMode(window, oldMode);
    }
}
