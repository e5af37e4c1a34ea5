// download/download_thread.h: the download worker. DownloadThreadProc fetches the package
// over HTTP into memory, starts the UI thread once the server answers 200, reports progress
// to the dialog, unpacks the package, hands the UI thread to the job and signals the job's
// event. Its exit code is 0 for a finished or cancelled run and -1 for a failed one.
#ifndef KESTO_DOWNLOAD_DOWNLOAD_THREAD_H
#define KESTO_DOWNLOAD_DOWNLOAD_THREAD_H

#include "download/download_job.h"
#include "framework/afxwin.h"

UINT __cdecl DownloadThreadProc(LPVOID pParam);

// The percentage a notice carries: received / total x 100 in double precision, the division
// first, truncated; so 29 of 100 bytes give 28.
int DownloadPercentage(DWORD received, DWORD total);

// How the worker starts the UI thread; AfxBeginThread with CUIThread's runtime class unless a
// test puts its own in (null restores it). The thread comes back suspended, or null.
typedef CWinThread* (*UiThreadStarter)(int nPriority, UINT nStackSize, DWORD dwCreateFlags);
UiThreadStarter SetUiThreadStarter(UiThreadStarter starter);

#endif  // KESTO_DOWNLOAD_DOWNLOAD_THREAD_H
