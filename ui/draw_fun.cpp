#include "ui/draw_fun.h"

#include <cstring>

#include "framework/app.h"
#include "framework/gdiplus_use.h"
#include "framework/screen_text.h"
#include "framework/gdi.h"
#include "res/resource.h"

HMODULE KESTODRAWFUN::m_hMsimg32 = nullptr;
KESTODRAWFUN::GradientFillFn KESTODRAWFUN::m_pfnGradientFill = nullptr;

KESTODRAWFUN theDrawFun;

KESTODRAWFUN::KESTODRAWFUN() {
    m_hMsimg32 = LoadLibraryExA("msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    m_pfnGradientFill = nullptr;
    if (m_hMsimg32 != nullptr) {
        m_pfnGradientFill = reinterpret_cast<GradientFillFn>(
            reinterpret_cast<void*>(GetProcAddress(m_hMsimg32, "GradientFill")));
    }
}

KESTODRAWFUN::~KESTODRAWFUN() {
    if (m_hMsimg32 != nullptr) {
        m_pfnGradientFill = nullptr;
        FreeLibrary(m_hMsimg32);
        m_hMsimg32 = nullptr;
    }
}

void KESTODRAWFUN::DrawWhiteLine(HDC hdc, int x1, int y1, int x2, int y2) {
    if (hdc == nullptr)
        return;
    const int oldMix = SetROP2(hdc, R2_COPYPEN);
    ScopedPen pen(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    {
        CSelectObject select(hdc, pen.Get());
        MoveToEx(hdc, x1, y1, nullptr);
        LineTo(hdc, x2, y2);
    }
    SetROP2(hdc, oldMix);
}

void KESTODRAWFUN::FillGradientRect(HDC hdc, const RECT* rc, COLORREF clrTop, COLORREF clrBottom) {
    if (m_pfnGradientFill != nullptr) {
        TRIVERTEX vertices[2] = {};
        vertices[0].x = rc->left;
        vertices[0].y = rc->top;
        vertices[0].Red = static_cast<COLOR16>(GetRValue(clrTop) << 8);
        vertices[0].Green = static_cast<COLOR16>(GetGValue(clrTop) << 8);
        vertices[0].Blue = static_cast<COLOR16>(GetBValue(clrTop) << 8);
        vertices[1].x = rc->right;
        vertices[1].y = rc->bottom;
        vertices[1].Red = static_cast<COLOR16>(GetRValue(clrBottom) << 8);
        vertices[1].Green = static_cast<COLOR16>(GetGValue(clrBottom) << 8);
        vertices[1].Blue = static_cast<COLOR16>(GetBValue(clrBottom) << 8);
        GRADIENT_RECT mesh = {0, 1};
        m_pfnGradientFill(hdc, vertices, 2, &mesh, 1, GRADIENT_FILL_RECT_V);
        return;
    }
    const int h = rc->bottom - rc->top;
    if (h <= 0)
        return;
    const float stepR = (float(GetRValue(clrBottom)) - float(GetRValue(clrTop))) / float(h);
    const float stepG = (float(GetGValue(clrBottom)) - float(GetGValue(clrTop))) / float(h);
    const float stepB = (float(GetBValue(clrBottom)) - float(GetBValue(clrTop))) / float(h);
    for (int i = 0; i < h; ++i) {
        const COLORREF colour = RGB(static_cast<int>(float(GetRValue(clrTop)) + float(i) * stepR),
                                    static_cast<int>(float(GetGValue(clrTop)) + float(i) * stepG),
                                    static_cast<int>(float(GetBValue(clrTop)) + float(i) * stepB));
        ScopedPen pen(CreatePen(PS_SOLID, 1, colour));
        CSelectObject select(hdc, pen.Get());
        MoveToEx(hdc, rc->left, rc->top + i, nullptr);
        LineTo(hdc, rc->right, rc->top + i);
    }
}

void KESTODRAWFUN::DrawBitmapRect(HDC hdc, const RECT* dst, HBITMAP hbm, const POINT* src) {
    BITMAP info;
    if (hdc == nullptr || dst == nullptr || hbm == nullptr ||
        GetObjectA(hbm, sizeof(info), &info) == 0)
        return;
    CDC memory;
    if (!memory.CreateCompatibleDC(hdc))
        return;
    CSelectObject select(memory, hbm);
    BitBlt(hdc, dst->left, dst->top, dst->right - dst->left, dst->bottom - dst->top, memory, src->x,
           src->y, SRCCOPY);
}

void KESTODRAWFUN::DrawColorText(HDC hdc, const char* text, int len, RECT* rc, UINT format,
                                 HFONT font, COLORREF clr) {
    if (hdc == nullptr)
        return;
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(hdc, clr);
    const HGDIOBJ oldFont = SelectObject(hdc, font);
    std::wstring wide = GbkToWide(text, len);  // GBK on every system, not the ANSI code page
    DrawTextW(hdc, wide.c_str(), static_cast<int>(wide.size()), rc, format);
    if (oldFont != nullptr && oldFont != HGDI_ERROR)
        SelectObject(hdc, oldFont);
    SetTextColor(hdc, oldColour);
    SetBkMode(hdc, oldMode);
}

BOOL KESTODRAWFUN::LoadPngResource(Gdiplus::Image** ppImage) {
    HMODULE module = AfxGetResourceHandle();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDB_PROGRESS_STRIP), "PNG");
    if (found == nullptr)
        return FALSE;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0)
        return FALSE;
    // The image reads its data from this block for as long as it lives, which here is until
    // the process ends: the block is never freed.
    HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
    if (block == nullptr)
        return FALSE;
    std::memcpy(GlobalLock(block), bytes, size);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, FALSE, &stream))) {
        GlobalUnlock(block);
        GlobalFree(block);
        return FALSE;
    }
    BOOL decoded = FALSE;
    if (const CGdiplusUse gdiplus{}; gdiplus) {
        *ppImage = Gdiplus::Image::FromStream(stream);
        decoded = TRUE;
    }
    GlobalUnlock(block);
    stream->Release();
    if (!decoded)
        GlobalFree(block);  // GDI+ is gone: no image will read it
    return decoded;
}
