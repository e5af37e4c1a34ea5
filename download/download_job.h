// download/download_job.h: the parameter block between the application and the download
// worker. The application fills the event, the URL and the folder before the worker starts;
// the worker writes only pUIThread, before it signals the event.
#ifndef KESTO_DOWNLOAD_DOWNLOAD_JOB_H
#define KESTO_DOWNLOAD_DOWNLOAD_JOB_H

#include "framework/afxwin.h"

struct DownloadJob {
    CEvent* pEvent = nullptr;
    CString strUrl;
    CString strTargetDir;
    CWinThread* pUIThread = nullptr;
};

#endif  // KESTO_DOWNLOAD_DOWNLOAD_JOB_H
