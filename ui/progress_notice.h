// ui/progress_notice.h: what other threads tell the progress dialog, and the user's cancel.
//
// A ProgressNotice is sent (never posted) with WM_PROGRESS_NOTICE, WPARAM 0 and LPARAM the
// record's address; it lives on the sender's stack for the duration of the call. The dialog
// ignores a percentage above 100 taken as unsigned, which includes every negative one.
#ifndef KESTO_UI_PROGRESS_NOTICE_H
#define KESTO_UI_PROGRESS_NOTICE_H

#include <windows.h>

#include <atomic>
#include <cstdint>

#define WM_PROGRESS_NOTICE (WM_USER + 1)

struct ProgressNotice {
    int32_t nPercent;
    char szText[64];  // GBK, NUL-terminated
};
static_assert(sizeof(ProgressNotice) == 68, "the notice is 68 bytes");

class CWinThread;

// The progress dialog's window while it exists: the UI thread's main window when IsWindow
// holds for it, else null. The handle is read once and tested before use; the dialog object
// lives until the UI thread's ExitInstance, which only follows the WM_QUIT the run sequence
// posts once the worker has ended, so other threads may read it until then.
HWND ProgressDialogWindow(CWinThread* ui);
// Sends {percent, text} (cut to fit) to the dialog, or skips it, not queued, when there is
// none.
void SendProgressNotice(CWinThread* ui, int percent, const char* text);

// Set once by the dialog's close cross, never reset; read by the worker and the run sequence.
extern std::atomic<bool> g_bUserCancelled;
static_assert(sizeof(std::atomic<bool>) == 1, "the cancel flag is one byte");

#endif  // KESTO_UI_PROGRESS_NOTICE_H
