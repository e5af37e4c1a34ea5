// ui/progress_ctrl.h: CKestoProgressCtrl, the custom-drawn progress bar: a static control
// that paints itself completely, double-buffered, and repaints only when its filled width in
// pixels changes. Style 0 is a framed gradient bar with a two-colour text, style 2 an image
// strip on a dark track, any other value a tiled bar (style 1).
#ifndef KESTO_UI_PROGRESS_CTRL_H
#define KESTO_UI_PROGRESS_CTRL_H

// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include "framework/afxwin.h"

class CKestoProgressCtrl : public CStatic {
public:
    CKestoProgressCtrl();
    ~CKestoProgressCtrl() override;

    // Stores the position and repaints at once when the filled width changed. Returns the
    // previous position, or -1 (storing nothing) before the window exists.
    int SetProgress(int nPos);
    void SetRange(int nLower, int nUpper) {
        m_nLower = nLower;
        m_nUpper = nUpper;
    }
    void SetBarStyle(int nStyle) { m_nBarStyle = nStyle; }
    void SetShowText(BOOL bShow);
    void SetStatusText(const char* text) { SetWindowText(text); }

    // The filled width for a client width: W x (pos - lower) / (upper - lower), truncated.
    int FillWidth(int clientWidth) const;
    // What styles 0 and 1 write: the status text (style 0 only) or the truncated percentage.
    CString BarText(bool useStatusText) const;

    int m_nBarStyle = 0;
    int m_nPos = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    CString m_strText;
    BOOL m_bShowText = FALSE;
    int m_nLastFill = -1;
    COLORREF m_clrFillTop = RGB(78, 123, 177);
    COLORREF m_clrFillBottom = RGB(78, 123, 177);
    COLORREF m_clrRestTop = RGB(221, 221, 221);
    COLORREF m_clrRestBottom = RGB(221, 221, 221);
    COLORREF m_clrTextOnRest;
    COLORREF m_clrTextOnFill;
    COLORREF m_clrFrame = RGB(221, 221, 221);
    COLORREF m_clrFillFrame = RGB(221, 221, 221);
    HFONT m_hFont = nullptr;
    CDC m_memDC;
    CBitmap m_bmpBuffer;
    // Whether m_bmpBuffer holds the strip as style 2 last drew it: the fill can still be
    // copied from it once GDI+ is gone.
    bool m_bStripInBuffer = false;
    int m_nStripHeight = 0;  // the image's height, read while GDI+ could be called
    HBITMAP m_hTileBitmap = nullptr;
    Gdiplus::Image* m_pImage = nullptr;

    DECLARE_MESSAGE_MAP()

protected:
    BOOL OnEraseBkgnd(HDC hdc);
    void OnPaint();
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetText(WPARAM wParam, LPARAM lParam);

private:
    // (pos - lower) / (upper - lower) in double precision, not clamped.
    double FillRatio() const;
    void PaintFramedBar(HDC window, int width, int height);
    void PaintTiledBar(HDC window, int width, int height);
    void PaintImageStrip(HDC window, int width, int height);

    SIZE m_regionSize = {0, 0};  // the client size the style-1 window region was made for
};

#endif  // KESTO_UI_PROGRESS_CTRL_H
