// framework/internet.h: the HTTP classes over WinINet. Every failing WinINet call throws a
// CInternetException* carrying the error code; the catcher calls Delete() on it.
#ifndef KESTO_FRAMEWORK_INTERNET_H
#define KESTO_FRAMEWORK_INTERNET_H

#include <windows.h>
#include <wininet.h>

#include "framework/cstring.h"
#include "framework/scoped_handle.h"

#define AFX_INET_SERVICE_UNK 0x1000
#define AFX_INET_SERVICE_HTTP INTERNET_SERVICE_HTTP
#define AFX_INET_SERVICE_HTTPS 0x1009

#define HTTP_VERB_POST 0
#define HTTP_VERB_GET 1
#define HTTP_VERB_HEAD 2

class CInternetException {
public:
    explicit CInternetException(DWORD dwError, DWORD_PTR dwContext = 0)
        : m_dwError(dwError), m_dwContext(dwContext) {}
    // The system's text for m_dwError; an empty text and FALSE when there is none.
    BOOL GetErrorMessage(char* lpszError, UINT nMaxError, PUINT pnHelpContext = nullptr) const;
    void Delete() { delete this; }

    DWORD m_dwError;
    DWORD_PTR m_dwContext;
};

// Throws a CInternetException* for dwError, or for GetLastError() when it is 0.
[[noreturn]] void AfxThrowInternetException(DWORD_PTR dwContext, DWORD dwError = 0);

class CHttpFile {
public:
    CHttpFile(HINTERNET hFile, DWORD_PTR dwContext) : m_file(hFile), m_dwContext(dwContext) {}
    virtual ~CHttpFile() = default;
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    BOOL SendRequest(const char* pstrHeaders = nullptr, DWORD dwHeadersLen = 0,
                     LPVOID lpOptional = nullptr, DWORD dwOptionalLen = 0);
    BOOL QueryInfoStatusCode(DWORD& dwStatusCode) const;
    BOOL QueryInfo(DWORD dwInfoLevel, LPVOID lpvBuffer, LPDWORD lpdwBufferLength,
                   LPDWORD lpdwIndex = nullptr) const;
    // Up to nCount bytes of the body; 0 at its end.
    UINT Read(void* lpBuf, UINT nCount);
    BOOL SetOption(DWORD dwOption, DWORD dwValue);
    void Close() { m_file.Close(); }
    operator HINTERNET() const { return m_file.Get(); }

private:
    ScopedInternetHandle m_file;
    DWORD_PTR m_dwContext;
};

class CHttpConnection {
public:
    CHttpConnection(HINTERNET hConnection, DWORD_PTR dwContext)
        : m_connection(hConnection), m_dwContext(dwContext) {}
    virtual ~CHttpConnection() = default;
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    CHttpFile* OpenRequest(int nVerb, const char* pstrObjectName, const char* pstrReferer = nullptr,
                           DWORD_PTR dwContext = 1, const char** ppstrAcceptTypes = nullptr,
                           const char* pstrVersion = nullptr,
                           DWORD dwFlags = INTERNET_FLAG_EXISTING_CONNECT);
    void Close() { m_connection.Close(); }
    operator HINTERNET() const { return m_connection.Get(); }

private:
    ScopedInternetHandle m_connection;
    DWORD_PTR m_dwContext;
};

class CInternetSession {
public:
    // Without an agent string the application's name is sent. Throws when WinINet cannot
    // open a session.
    explicit CInternetSession(const char* pstrAgent = nullptr, DWORD_PTR dwContext = 1,
                              DWORD dwAccessType = PRE_CONFIG_INTERNET_ACCESS,
                              const char* pstrProxyName = nullptr,
                              const char* pstrProxyBypass = nullptr, DWORD dwFlags = 0);
    virtual ~CInternetSession() = default;
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    BOOL SetOption(DWORD dwOption, DWORD dwValue, DWORD dwFlags = 0);
    CHttpConnection* GetHttpConnection(const char* pstrServer,
                                       INTERNET_PORT nPort = INTERNET_INVALID_PORT_NUMBER,
                                       const char* pstrUserName = nullptr,
                                       const char* pstrPassword = nullptr);
    void Close() { m_session.Close(); }
    operator HINTERNET() const { return m_session.Get(); }

private:
    ScopedInternetHandle m_session;
    DWORD_PTR m_dwContext;
};

// Splits an URL into its service type, server, object (path and query; "/" when empty) and
// port (the scheme's default when the URL names none). FALSE, with every part emptied, when
// the text is not an URL.
BOOL AfxParseURL(const char* pstrURL, DWORD& dwServiceType, CString& strServer, CString& strObject,
                 INTERNET_PORT& nPort);

#endif  // KESTO_FRAMEWORK_INTERNET_H
