// The process-wide set-up of shadows: entry points, module and window class.
#include "shadow/wnd_shadow.h"

const char kShadowClassName[] = "CorvoShadowWnd";

CWndShadow::UpdateLayeredWindowFn CWndShadow::s_pfnUpdateLayered = nullptr;
CWndShadow::DwmIsCompositionEnabledFn CWndShadow::s_pfnDwmCompositionEnabled = nullptr;
HINSTANCE CWndShadow::s_hModule = nullptr;

bool CWndShadow::RegisterShadowClass(HINSTANCE hInstance) {
    if (s_pfnUpdateLayered != nullptr)
        return false;
    // Looked up at run time, as on systems without layered windows the call does not exist.
    s_pfnUpdateLayered = reinterpret_cast<UpdateLayeredWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(LoadLibraryExA("USER32.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                       "UpdateLayeredWindow")));
    if (s_pfnUpdateLayered == nullptr)
        return false;
    if (HMODULE dwm = LoadLibraryExA("dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        s_pfnDwmCompositionEnabled = reinterpret_cast<DwmIsCompositionEnabledFn>(
            reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
    }
    s_hModule = hInstance;

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = s_hModule;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kShadowClassName;
    RegisterClassExA(&wc);
    return true;
}

bool CWndShadow::IsCompositionEnabled() {
    BOOL enabled = FALSE;
    if (s_pfnDwmCompositionEnabled != nullptr)
        s_pfnDwmCompositionEnabled(&enabled);
    return enabled != FALSE;
}
