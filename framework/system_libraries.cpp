// The calls into system DLLs that are not among Windows' known DLLs (GDI+, WinINet, the common
// controls). Imported the usual way, such a DLL is looked for first in the program's own
// folder, a user's download folder, by the loader before any code of ours runs. Defined here
// instead, each call loads its DLL from the system folder the first time it is made.
#include <windows.h>

#include <commctrl.h>
#include <gdiplus.h>
#include <wininet.h>

namespace {

template <typename Fn>
Fn SystemProc(const char* dll, const char* name) {
    const HMODULE module = LoadLibraryExA(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const FARPROC proc = module != nullptr ? GetProcAddress(module, name) : nullptr;
    if (proc == nullptr)
        FatalAppExitA(0, name);  // where a missing import would have stopped the start
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

}  // namespace

// The function itself, for declarations without dllimport.
#define KESTO_FORWARD(dll, name, args)                                    \
    {                                                                     \
        static const auto real = SystemProc<decltype(&name)>(dll, #name); \
        return real args;                                                 \
    }

// The import pointer that callers of a dllimport declaration read: "__imp__name@bytes" for
// i686 stdcall, "__imp_name" on x86_64, which has neither the underscore nor the decoration.
#if defined(_WIN64)
#define KESTO_IMPORT_SYMBOL(name, bytes) "__imp_" #name
#else
#define KESTO_IMPORT_SYMBOL(name, bytes) "__imp__" #name "@" #bytes
#endif
#define KESTO_IMPORT(dll, ret, name, bytes, params, args)                                      \
    namespace {                                                                                \
    ret WINAPI Forward##name params KESTO_FORWARD(dll, name, args)                             \
    }                                                                                          \
    extern "C" {                                                                               \
    extern decltype(&Forward##name) const kImport##name asm(KESTO_IMPORT_SYMBOL(name, bytes)); \
    decltype(&Forward##name) const kImport##name = &Forward##name;                             \
    }

namespace Gdiplus {
extern "C" {
GpStatus WINGDIPAPI GdiplusStartup(ULONG_PTR* a, GDIPCONST GdiplusStartupInput* b,
                                   GdiplusStartupOutput* c)
    KESTO_FORWARD("gdiplus.dll", GdiplusStartup, (a, b, c)) VOID WINGDIPAPI
    GdiplusShutdown(ULONG_PTR a) KESTO_FORWARD("gdiplus.dll", GdiplusShutdown, (a))
}  // extern "C"

namespace DllExports {
extern "C" {
VOID* WINGDIPAPI GdipAlloc(size_t a) KESTO_FORWARD("gdiplus.dll", GdipAlloc, (a)) VOID WINGDIPAPI
    GdipFree(VOID* a) KESTO_FORWARD("gdiplus.dll", GdipFree, (a)) GpStatus WINGDIPAPI
    GdipCreateFromHDC(HDC a, GpGraphics** b)
        KESTO_FORWARD("gdiplus.dll", GdipCreateFromHDC, (a, b)) GpStatus WINGDIPAPI
    GdipDeleteGraphics(GpGraphics* a)
        KESTO_FORWARD("gdiplus.dll", GdipDeleteGraphics, (a)) GpStatus WINGDIPAPI
    GdipDrawImageRectI(GpGraphics* a, GpImage* b, INT c, INT d, INT e, INT f)
        KESTO_FORWARD("gdiplus.dll", GdipDrawImageRectI, (a, b, c, d, e, f)) GpStatus WINGDIPAPI
    GdipDrawImageRectRectI(GpGraphics* a, GpImage* b, INT c, INT d, INT e, INT f, INT g, INT h,
                           INT i, INT j, GpUnit k, GDIPCONST GpImageAttributes* l, DrawImageAbort m,
                           VOID* n)
        KESTO_FORWARD("gdiplus.dll", GdipDrawImageRectRectI,
                      (a, b, c, d, e, f, g, h, i, j, k, l, m, n)) GpStatus WINGDIPAPI
    GdipLoadImageFromStream(IStream* a, GpImage** b)
        KESTO_FORWARD("gdiplus.dll", GdipLoadImageFromStream, (a, b)) GpStatus WINGDIPAPI
    GdipCloneImage(GpImage* a, GpImage** b)
        KESTO_FORWARD("gdiplus.dll", GdipCloneImage, (a, b)) GpStatus WINGDIPAPI
    GdipDisposeImage(GpImage* a)
        KESTO_FORWARD("gdiplus.dll", GdipDisposeImage, (a)) GpStatus WINGDIPAPI
    GdipGetImageWidth(GpImage* a, UINT* b)
        KESTO_FORWARD("gdiplus.dll", GdipGetImageWidth, (a, b)) GpStatus WINGDIPAPI
    GdipGetImageHeight(GpImage* a, UINT* b) KESTO_FORWARD("gdiplus.dll", GdipGetImageHeight, (a, b))
}  // extern "C"
}  // namespace DllExports
}  // namespace Gdiplus

KESTO_IMPORT("comctl32.dll", BOOL, InitCommonControlsEx, 4, (const INITCOMMONCONTROLSEX* a), (a))

KESTO_IMPORT("wininet.dll", HINTERNET, InternetOpenA, 20,
             (LPCSTR a, DWORD b, LPCSTR c, LPCSTR d, DWORD e), (a, b, c, d, e))
KESTO_IMPORT("wininet.dll", HINTERNET, InternetConnectA, 32,
             (HINTERNET a, LPCSTR b, INTERNET_PORT c, LPCSTR d, LPCSTR e, DWORD f, DWORD g,
              DWORD_PTR h),
             (a, b, c, d, e, f, g, h))
KESTO_IMPORT("wininet.dll", HINTERNET, HttpOpenRequestA, 32,
             (HINTERNET a, LPCSTR b, LPCSTR c, LPCSTR d, LPCSTR e, LPCSTR* f, DWORD g, DWORD_PTR h),
             (a, b, c, d, e, f, g, h))
KESTO_IMPORT("wininet.dll", BOOL, HttpSendRequestA, 20,
             (HINTERNET a, LPCSTR b, DWORD c, LPVOID d, DWORD e), (a, b, c, d, e))
KESTO_IMPORT("wininet.dll", BOOL, HttpQueryInfoA, 20,
             (HINTERNET a, DWORD b, LPVOID c, LPDWORD d, LPDWORD e), (a, b, c, d, e))
KESTO_IMPORT("wininet.dll", BOOL, InternetReadFile, 16, (HINTERNET a, LPVOID b, DWORD c, LPDWORD d),
             (a, b, c, d))
KESTO_IMPORT("wininet.dll", BOOL, InternetSetOptionA, 16, (HINTERNET a, DWORD b, LPVOID c, DWORD d),
             (a, b, c, d))
KESTO_IMPORT("wininet.dll", BOOL, InternetCrackUrlA, 16,
             (LPCSTR a, DWORD b, DWORD c, LPURL_COMPONENTSA d), (a, b, c, d))
KESTO_IMPORT("wininet.dll", BOOL, InternetCloseHandle, 4, (HINTERNET a), (a))
