#include "download/download_thread.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <memory>
#include <vector>

#include "download/unpack.h"
#include "framework/screen_text.h"
#include "ui/progress_notice.h"
#include "ui/ui_thread.h"

namespace {

const DWORD kChunkSize = 10240;
const DWORD kReceiveTimeoutMs = 20000;
// How long the worker waits for the UI thread to make its dialog. A fresh or busy machine
// takes far longer than the 100 ms pause for its first window (fonts, GDI+, a new
// wineserver); past this bound the run goes on as for a thread that made no dialog.
const DWORD kDialogWaitMs = 5000;
const char kWindowTitle[] = "岫澜汇快速安装程序";
const char kDownloading[] = "正在下载（%d%%）......";
const char kDownloaded[] = "下载完成";
const char kInternetFailureHead[] = "CInternetException for error %d,";  // then the text
const char kOtherFailure[] = "升级程序发生异常!";

CWinThread* StartUiThread(int nPriority, UINT nStackSize, DWORD dwCreateFlags) {
    return AfxBeginThread(RUNTIME_CLASS(CUIThread), nPriority, nStackSize, dwCreateFlags);
}

UiThreadStarter g_startUiThread = &StartUiThread;

// A failure of the package itself rather than of the network: no usable length, a body of
// another length than announced, no UI thread.
struct PackageError {};

// The package size from Content-Length: decimal digits only, 1 ... 2^32 - 1. Anything else
// (absent, empty, 0, signed, not a number, too large) leaves no buffer to size.
DWORD PackageSize(CHttpFile& file) {
    char text[1024] = {};
    DWORD length = sizeof(text);
    if (!file.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr))
        throw PackageError();
    text[sizeof(text) - 1] = '\0';
    if (text[0] < '0' || text[0] > '9')
        throw PackageError();
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value == 0 || value > 0xFFFFFFFFull)
        throw PackageError();
    return static_cast<DWORD>(value);
}

}  // namespace

int DownloadPercentage(DWORD received, DWORD total) {
    return static_cast<int>(double(received) / double(total) * 100.0);
}

UiThreadStarter SetUiThreadStarter(UiThreadStarter starter) {
    UiThreadStarter previous = g_startUiThread;
    g_startUiThread = starter != nullptr ? starter : &StartUiThread;
    return previous;
}

UINT __cdecl DownloadThreadProc(LPVOID pParam) {
    DownloadJob* job = static_cast<DownloadJob*>(pParam);
    std::unique_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> file;
    CWinThread* ui = nullptr;
    auto closeRequest = [&] {
        if (file)
            file->Close();
        file.reset();
        if (connection)
            connection->Close();
        connection.reset();
    };
    auto finish = [&](UINT code) {
        job->pEvent->SetEvent();
        return code;
    };
    try {
        session.reset(
            new CInternetSession(nullptr, 1, PRE_CONFIG_INTERNET_ACCESS, nullptr, nullptr, 0));
        session->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 2000);
        session->SetOption(INTERNET_OPTION_CONNECT_RETRIES, 1);

        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        if (!AfxParseURL(job->strUrl, service, server, object, port))
            AfxThrowInternetException(1, ERROR_INTERNET_INVALID_URL);
        connection.reset(session->GetHttpConnection(server, port, nullptr, nullptr));
        DWORD flags = INTERNET_FLAG_EXISTING_CONNECT;
        if (service == AFX_INET_SERVICE_HTTPS)
            flags |= INTERNET_FLAG_SECURE;
        file.reset(
            connection->OpenRequest(HTTP_VERB_GET, object, nullptr, 1, nullptr, nullptr, flags));
        // A server that stops sending would otherwise hold the run, and the user, for good.
        file->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, kReceiveTimeoutMs);
        file->SendRequest(nullptr, 0, nullptr, 0);
        DWORD status = 0;
        file->QueryInfoStatusCode(status);
        if (status != HTTP_STATUS_OK) {
            closeRequest();
            session->Close();
            return finish(static_cast<UINT>(-1));
        }

        ui = g_startUiThread(THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        if (ui == nullptr)
            throw PackageError();
        ui->m_bAutoDelete = FALSE;
        ui->ResumeThread();
        Sleep(100);  // the UI thread's head start; readiness itself is the wait below
        ui->WaitForInitInstance(kDialogWaitMs);
        if (HWND dialog = ProgressDialogWindow(ui))
            SetWindowTextA(dialog, kWindowTitle);  // GBK bytes, which the dialog reads as such

        const DWORD total = PackageSize(*file);
        std::vector<char> chunk(kChunkSize);
        UINT got = file->Read(chunk.data(), kChunkSize);
        std::vector<char> package(total);
        DWORD received = 0;
        int lastPercent = 0;
        while (got > 0) {
            if (got > total - received)
                throw PackageError();  // more than announced: not the package we sized
            std::memcpy(package.data() + received, chunk.data(), got);
            received += got;
            const int percent = DownloadPercentage(received, total);
            if (percent != lastPercent) {
                lastPercent = percent;
                char text[sizeof(ProgressNotice::szText)];
                std::snprintf(text, sizeof(text), kDownloading, percent);
                SendProgressNotice(ui, percent, text);
            }
            if (g_bUserCancelled)
                break;
            got = file->Read(chunk.data(), kChunkSize);
        }
        if (!g_bUserCancelled) {
            if (received != total)
                throw PackageError();  // the connection ended early: never unpack a part
            SendProgressNotice(ui, 100, kDownloaded);
            UnpackPackage(package.data(), received, job->strTargetDir);
        }
        job->pUIThread = ui;
    } catch (CInternetException* e) {
        closeRequest();
        if (session)
            session->Close();
        char text[512];
        e->GetErrorMessage(text, sizeof(text));
        // The format is ours (GBK), the system's text comes in the system's code page: each
        // part is read in its own.
        char head[64];
        std::snprintf(head, sizeof(head), kInternetFailureHead, static_cast<int>(e->m_dwError));
        std::wstring message = GbkToWide(head) + AnsiToWide(text);
        message.resize(std::min<size_t>(message.size(), 1023));
        AfxMessageBox(message.c_str(), MB_OK);
        e->Delete();
        return finish(static_cast<UINT>(-1));
    } catch (...) {
        closeRequest();
        AfxMessageBox(kOtherFailure, MB_OK);
        if (session)
            session->Close();
        return finish(static_cast<UINT>(-1));
    }
    closeRequest();
    session->Close();
    return finish(0);
}
