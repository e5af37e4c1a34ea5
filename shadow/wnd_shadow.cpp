// The shadow window: creation, the parent's hook, and rendering into the layered window.
#include <cstring>

#include "framework/scoped_handle.h"
#include "shadow/shadow_image.h"
#include "shadow/wnd_shadow.h"

std::map<HWND, CWndShadow*> CWndShadow::s_shadowByParent;

CWndShadow::CWndShadow() : m_hShadowWnd(reinterpret_cast<HWND>(~uintptr_t(0))) {}

// Neither the window nor the hook is undone here: both go with the parent's destruction.
CWndShadow::~CWndShadow() = default;

void CWndShadow::AttachToParent(HWND hParent) {
    if (s_pfnUpdateLayered == nullptr)
        return;
    s_shadowByParent[hParent] = this;
    m_hShadowWnd = CreateWindowExA(WS_EX_LAYERED | WS_EX_TRANSPARENT, kShadowClassName, nullptr,
                                   WS_POPUPWINDOW, CW_USEDEFAULT, 0, 0, 0, hParent, nullptr,
                                   s_hModule, nullptr);
    m_fState = SHADOW_ENABLED;
    // A sizable window gets its shadow from the desktop while composition is on.
    if ((GetWindowLongA(hParent, GWL_STYLE) & WS_THICKFRAME) != 0 && IsCompositionEnabled())
        m_fState |= SHADOW_SUPPRESSED;
    SyncWithParent(hParent);
    m_pfnParentProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hParent, GWLP_WNDPROC));
    SetWindowLongPtrA(hParent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ShadowParentProc));
}

// The setters take every value of their types: the image computation stays inside its
// bitmap for all of them, and a spread that leaves no image makes renders keep the shadow
// window as it was.
void CWndShadow::SetShadowOffset(int8_t x, int8_t y) {
    m_nOffsetX = x;
    m_nOffsetY = y;
    RenderIfShown();
}

void CWndShadow::SetShadowSpread(int8_t spread) {
    m_nSpread = spread;
    RenderIfShown();
}

void CWndShadow::SetShadowColor(COLORREF color) {
    m_clrShadow = color;
    RenderIfShown();
}

void CWndShadow::SetShadowSoftness(uint8_t softness) {
    m_bySoftness = softness;
    RenderIfShown();
}

void CWndShadow::RenderIfShown() {
    if (m_fState & SHADOW_SHOWN)
        RenderShadow(GetParent(m_hShadowWnd));  // the owner is the parent
}

void CWndShadow::SyncWithParent(HWND hParent) {
    m_fState &= ~SHADOW_SHOWN;
    if ((m_fState & SHADOW_ENABLED) && !(m_fState & SHADOW_SUPPRESSED)) {
        const LONG style = GetWindowLongA(hParent, GWL_STYLE);
        if ((style & WS_VISIBLE) && !(style & (WS_MAXIMIZE | WS_MINIMIZE)))
            m_fState |= SHADOW_SHOWN;
    }
    if (m_fState & SHADOW_SHOWN) {
        ShowWindow(m_hShadowWnd, SW_SHOWNA);
        RenderShadow(hParent);
    } else {
        ShowWindow(m_hShadowWnd, SW_HIDE);
    }
}

bool CWndShadow::ComposeShadowBitmap(uint32_t* pixels, HWND hParent, const RECT& rcParent) {
    const int w = rcParent.right - rcParent.left;
    const int h = rcParent.bottom - rcParent.top;
    ScopedRegion outline(CreateRectRgn(0, 0, w, h));
    if (!outline.IsValid())
        return false;
    GetWindowRgn(hParent, outline.Get());  // a window without a region keeps the rectangle
    const ShadowParams params = {m_nSpread,  m_bySoftness, m_byOpacity,
                                 m_nOffsetX, m_nOffsetY,   m_clrShadow};
    HRGN region = outline.Get();
    ::ComposeShadowBitmap(
        pixels, w, h, [region](int x, int y) { return PtInRegion(region, x, y) != FALSE; }, params);
    return true;
}

void CWndShadow::RenderShadow(HWND hParent) {
    RECT rc;
    if (!GetWindowRect(hParent, &rc))
        return;
    const int width = rc.right - rc.left + 2 * m_nSpread;
    const int height = rc.bottom - rc.top + 2 * m_nSpread;
    if (width <= 0 || height <= 0)
        return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = width * height * 4;
    void* bits = nullptr;
    ScopedBitmap dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.IsValid() || bits == nullptr)
        return;  // the shadow window keeps what it shows
    std::memset(bits, 0, size_t(width) * height * 4);
    if (!ComposeShadowBitmap(static_cast<uint32_t*>(bits), hParent, rc))
        return;
    ScopedCreatedDc memory(CreateCompatibleDC(nullptr));
    if (!memory.IsValid())
        return;
    const HGDIOBJ previous = SelectObject(memory.Get(), dib.Get());
    POINT position = {rc.left + m_nOffsetX - m_nSpread, rc.top + m_nOffsetY - m_nSpread};
    SIZE size = {width, height};
    POINT source = {0, 0};
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    MoveWindow(m_hShadowWnd, position.x, position.y, width, height, FALSE);
    s_pfnUpdateLayered(m_hShadowWnd, nullptr, &position, &size, memory.Get(), &source, 0, &blend,
                       ULW_ALPHA);
    SelectObject(memory.Get(), previous);
}

LRESULT CALLBACK CWndShadow::ShadowParentProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    const auto found = s_shadowByParent.find(hwnd);
    if (found == s_shadowByParent.end())
        return DefWindowProcA(hwnd, message, wParam, lParam);
    CWndShadow* shadow = found->second;
    const WNDPROC previous = shadow->m_pfnParentProc;
    const bool active =
        (shadow->m_fState & SHADOW_ENABLED) && !(shadow->m_fState & SHADOW_SUPPRESSED);
    switch (message) {
        case WM_NULL:
            ShowWindow(shadow->m_hShadowWnd, SW_HIDE);
            shadow->m_fState &= ~SHADOW_SHOWN;
            break;
        case WM_DESTROY:
            DestroyWindow(shadow->m_hShadowWnd);
            break;
        case WM_MOVE:
            if (shadow->m_fState & SHADOW_SHOWN) {
                RECT rc;
                GetWindowRect(hwnd, &rc);
                SetWindowPos(shadow->m_hShadowWnd, HWND_TOP,
                             rc.left + shadow->m_nOffsetX - shadow->m_nSpread,
                             rc.top + shadow->m_nOffsetY - shadow->m_nSpread, 0, 0,
                             SWP_NOSIZE | SWP_NOACTIVATE);
            }
            break;
        case WM_SIZE:
            if (!active)
                break;
            if (wParam == SIZE_MAXIMIZED || wParam == SIZE_MINIMIZED) {
                ShowWindow(shadow->m_hShadowWnd, SW_HIDE);
                shadow->m_fState &= ~SHADOW_SHOWN;
            } else if (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) {
                if (!(shadow->m_fState & SHADOW_SHOWN)) {
                    shadow->m_fState |= SHADOW_SHOWN;
                    shadow->RenderShadow(hwnd);
                    ShowWindow(shadow->m_hShadowWnd, SW_SHOWNA);
                    shadow->m_bRedrawPending = true;
                } else if (LOWORD(lParam) > LOWORD(shadow->m_lastParentSize) ||
                           HIWORD(lParam) > HIWORD(shadow->m_lastParentSize)) {
                    shadow->m_bRedrawPending = true;  // growing: render at the next paint
                } else {
                    shadow->RenderShadow(hwnd);
                }
            }
            shadow->m_lastParentSize = static_cast<uint32_t>(lParam);
            break;
        case WM_PAINT:
            if (shadow->m_bRedrawPending) {
                shadow->RenderShadow(hwnd);
                shadow->m_bRedrawPending = false;
            }
            break;
        case WM_SHOWWINDOW:
            if (active) {
                const LRESULT result = CallWindowProcA(previous, hwnd, message, wParam, lParam);
                if (wParam) {
                    shadow->m_fState |= SHADOW_SHOWN;
                    shadow->RenderShadow(hwnd);
                    ShowWindow(shadow->m_hShadowWnd, SW_SHOWNA);
                    shadow->m_bRedrawPending = true;
                } else {
                    ShowWindow(shadow->m_hShadowWnd, SW_HIDE);
                    shadow->m_fState &= ~SHADOW_SHOWN;
                }
                return result;
            }
            break;
        case WM_NCDESTROY:
            s_shadowByParent.erase(found);
            break;
        case WM_EXITSIZEMOVE:
            if (shadow->m_fState & SHADOW_SHOWN)
                shadow->RenderShadow(hwnd);
            break;
        case WM_DWMCOMPOSITIONCHANGED:
            if (IsCompositionEnabled())
                shadow->m_fState |= SHADOW_SUPPRESSED;
            else
                shadow->m_fState &= ~SHADOW_SUPPRESSED;
            shadow->SyncWithParent(hwnd);
            break;
        default:
            break;
    }
    return CallWindowProcA(previous, hwnd, message, wParam, lParam);
}
