// framework/gdiplus_use.h: when GDI+ may be called. The use is open from the start of the
// process (a GDI+ call before GdiplusStartup only fails) until the application closes it
// right before GdiplusShutdown. A CGdiplusUse held for the length of a few GDI+ calls keeps
// it open; CloseGdiplusUse waits for such a hold on another thread to end, and a CGdiplusUse
// taken after it is empty: its holder draws nothing with GDI+. So a window that outlives
// GDI+ (the dialog of a failed run, which stays up until the process ends) never paints with
// it. A hold must not be taken again inside another on the same thread.
#ifndef KESTO_FRAMEWORK_GDIPLUS_USE_H
#define KESTO_FRAMEWORK_GDIPLUS_USE_H

#include <windows.h>

class CGdiplusUse {
public:
    CGdiplusUse();
    ~CGdiplusUse();
    CGdiplusUse(const CGdiplusUse&) = delete;
    CGdiplusUse& operator=(const CGdiplusUse&) = delete;

    // Whether GDI+ may be called while this object lives.
    explicit operator bool() const { return m_bOpen; }

private:
    bool m_bOpen;
};

// Waits for every CGdiplusUse in progress to end; none opens afterwards.
void CloseGdiplusUse();
// The same without waiting: false, and nothing changed, while a hold is in progress. For a
// shutdown after a thread was terminated, which may have stopped it inside a hold for good.
bool TryCloseGdiplusUse();
// Opens the use again (a test's next GDI+ session).
void OpenGdiplusUse();

#endif  // KESTO_FRAMEWORK_GDIPLUS_USE_H
