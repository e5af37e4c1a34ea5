// ui/draw_fun.h: KESTODRAWFUN, the drawing operations the progress window needs beyond the
// DC classes: a white line, a vertical gradient, a bitmap copy, coloured text on a
// transparent background, and the bar's PNG image loaded from the resources. Each operation
// restores the DC attributes it changes (except the current position moved by the line).
//
// theDrawFun, the one instance, loads msimg32's GradientFill while the process starts and
// frees it at exit; without it gradients are drawn line by line.
#ifndef KESTO_UI_DRAW_FUN_H
#define KESTO_UI_DRAW_FUN_H

// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

class KESTODRAWFUN {
public:
    typedef BOOL(WINAPI* GradientFillFn)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

    KESTODRAWFUN();
    virtual ~KESTODRAWFUN();
    KESTODRAWFUN(const KESTODRAWFUN&) = delete;
    KESTODRAWFUN& operator=(const KESTODRAWFUN&) = delete;

    static void DrawWhiteLine(HDC hdc, int x1, int y1, int x2, int y2);
    static void FillGradientRect(HDC hdc, const RECT* rc, COLORREF clrTop, COLORREF clrBottom);
    static void DrawBitmapRect(HDC hdc, const RECT* dst, HBITMAP hbm, const POINT* src);
    static void DrawColorText(HDC hdc, const char* text, int len, RECT* rc, UINT format, HFONT font,
                              COLORREF clr);
    // PNG resource 129 of the resource module into a new image stored in *ppImage. FALSE,
    // with *ppImage untouched, when the resource is missing or cannot be copied.
    static BOOL LoadPngResource(Gdiplus::Image** ppImage);

    static HMODULE m_hMsimg32;
    static GradientFillFn m_pfnGradientFill;
};

extern KESTODRAWFUN theDrawFun;

#endif  // KESTO_UI_DRAW_FUN_H
