// framework/scoped_handle.h: one owner per Win32 handle. ScopedHandle<Traits> is move-only,
// keeps the Win32 value in Get(), gives it up with Detach() and releases it with Close(),
// which leaves GetLastError() as it was so that a failure's code survives the clean-up.
#ifndef KESTO_FRAMEWORK_SCOPED_HANDLE_H
#define KESTO_FRAMEWORK_SCOPED_HANDLE_H

#include <windows.h>
#include <wininet.h>

template <typename Traits>
class ScopedHandle {
public:
    typedef typename Traits::Handle Handle;

    ScopedHandle() : handle_(Traits::Invalid()) {}
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { Close(); }

    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Detach()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }

    Handle Detach() {
        Handle h = handle_;
        handle_ = Traits::Invalid();
        return h;
    }

    void Reset(Handle handle) {
        Close();
        handle_ = handle;
    }

    void Close() {
        if (Traits::IsValid(handle_)) {
            const DWORD error = GetLastError();
            Traits::Release(handle_);
            SetLastError(error);
        }
        handle_ = Traits::Invalid();
    }

private:
    Handle handle_;
};

// Kernel objects: processes, threads, events, files, snapshots. Both null and
// INVALID_HANDLE_VALUE mean "none", since different calls fail with different values.
struct KernelHandleTraits {
    typedef HANDLE Handle;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    typedef HANDLE Handle;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Release(Handle h) { FindClose(h); }
};

struct InternetHandleTraits {
    typedef HINTERNET Handle;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Release(Handle h) { InternetCloseHandle(h); }
};

template <typename T>
struct GdiObjectTraits {
    typedef T Handle;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Release(Handle h) { DeleteObject(h); }
};

// A DC from CreateCompatibleDC or CreateDC (not GetDC, which ReleaseDC gives back).
struct CreatedDcTraits {
    typedef HDC Handle;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Release(Handle h) { DeleteDC(h); }
};

typedef ScopedHandle<KernelHandleTraits> ScopedKernelHandle;
typedef ScopedHandle<FindHandleTraits> ScopedFindHandle;
typedef ScopedHandle<InternetHandleTraits> ScopedInternetHandle;
typedef ScopedHandle<GdiObjectTraits<HBITMAP>> ScopedBitmap;
typedef ScopedHandle<GdiObjectTraits<HBRUSH>> ScopedBrush;
typedef ScopedHandle<GdiObjectTraits<HPEN>> ScopedPen;
typedef ScopedHandle<GdiObjectTraits<HFONT>> ScopedFont;
typedef ScopedHandle<GdiObjectTraits<HRGN>> ScopedRegion;
typedef ScopedHandle<CreatedDcTraits> ScopedCreatedDc;

#endif  // KESTO_FRAMEWORK_SCOPED_HANDLE_H
