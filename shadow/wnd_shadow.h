// shadow/wnd_shadow.h: CWndShadow, a soft drop shadow for a top-level window. The shadow is
// a layered, click-through popup owned by the parent, a little larger than it, whose
// per-pixel-alpha image has a hole where the parent is. It follows the parent through a hook
// on the parent's window procedure.
//
// RegisterShadowClass sets the facility up once per process: the layered-window entry point,
// the optional composition query, the module and the window class "CorvoShadowWnd".
#ifndef KESTO_SHADOW_WND_SHADOW_H
#define KESTO_SHADOW_WND_SHADOW_H

#include <windows.h>

#include <cstdint>
#include <map>

class CWndShadow {
public:
    typedef BOOL(WINAPI* UpdateLayeredWindowFn)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                BLENDFUNCTION*, DWORD);
    typedef HRESULT(WINAPI* DwmIsCompositionEnabledFn)(BOOL*);

    CWndShadow();
    virtual ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // True when this call set the facility up; false once it is set up, or without
    // UpdateLayeredWindow (a later call then tries again).
    static bool RegisterShadowClass(HINSTANCE hInstance);
    // Composition is on only when the query exists and says so.
    static bool IsCompositionEnabled();

    void AttachToParent(HWND hParent);
    void SetShadowOffset(int8_t x, int8_t y);
    void SetShadowSpread(int8_t spread);
    void SetShadowColor(COLORREF color);
    void SetShadowSoftness(uint8_t softness);

    enum : uint8_t { SHADOW_ENABLED = 1, SHADOW_SHOWN = 2, SHADOW_SUPPRESSED = 8 };

    HWND m_hShadowWnd;
    WNDPROC m_pfnParentProc = nullptr;
    uint8_t m_fState = 0;
    uint8_t m_byOpacity = 150;
    uint8_t m_bySoftness = 5;
    int8_t m_nSpread = 0;
    int8_t m_nOffsetX = 5;
    int8_t m_nOffsetY = 5;
    uint32_t m_lastParentSize = 0;
    bool m_bRedrawPending = false;
    COLORREF m_clrShadow = RGB(0, 0, 0);

    static UpdateLayeredWindowFn s_pfnUpdateLayered;
    static DwmIsCompositionEnabledFn s_pfnDwmCompositionEnabled;
    static HINSTANCE s_hModule;
    static std::map<HWND, CWndShadow*> s_shadowByParent;

private:
    void SyncWithParent(HWND hParent);
    void RenderIfShown();
    void RenderShadow(HWND hParent);
    // False when the parent's outline cannot be read; the pixels are then untouched.
    bool ComposeShadowBitmap(uint32_t* pixels, HWND hParent, const RECT& rcParent);
    static LRESULT CALLBACK ShadowParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

extern const char kShadowClassName[];

#endif  // KESTO_SHADOW_WND_SHADOW_H
