#include "framework/internet.h"

#include <cstring>

#include "framework/app.h"

BOOL CInternetException::GetErrorMessage(char* lpszError, UINT nMaxError,
                                         PUINT pnHelpContext) const {
    if (pnHelpContext != nullptr)
        *pnHelpContext = 0;
    if (lpszError == nullptr || nMaxError == 0)
        return FALSE;
    lpszError[0] = '\0';
    // WinINet's own codes are described by wininet.dll, the others by the system.
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        GetModuleHandleA("wininet.dll"), m_dwError, 0, lpszError, nMaxError, nullptr);
    if (length == 0) {
        lpszError[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

void AfxThrowInternetException(DWORD_PTR dwContext, DWORD dwError) {
    if (dwError == 0)
        dwError = GetLastError();
    throw new CInternetException(dwError, dwContext);
}

CInternetSession::CInternetSession(const char* pstrAgent, DWORD_PTR dwContext, DWORD dwAccessType,
                                   const char* pstrProxyName, const char* pstrProxyBypass,
                                   DWORD dwFlags)
    : m_dwContext(dwContext) {
    m_session.Reset(InternetOpenA(pstrAgent != nullptr ? pstrAgent : AfxGetAppName(), dwAccessType,
                                  pstrProxyName, pstrProxyBypass, dwFlags));
    if (!m_session.IsValid())
        AfxThrowInternetException(m_dwContext);
}

BOOL CInternetSession::SetOption(DWORD dwOption, DWORD dwValue, DWORD) {
    return InternetSetOptionA(m_session.Get(), dwOption, &dwValue, sizeof(dwValue));
}

CHttpConnection* CInternetSession::GetHttpConnection(const char* pstrServer, INTERNET_PORT nPort,
                                                     const char* pstrUserName,
                                                     const char* pstrPassword) {
    HINTERNET connection = InternetConnectA(m_session.Get(), pstrServer, nPort, pstrUserName,
                                            pstrPassword, INTERNET_SERVICE_HTTP, 0, m_dwContext);
    if (connection == nullptr)
        AfxThrowInternetException(m_dwContext);
    return new CHttpConnection(connection, m_dwContext);
}

CHttpFile* CHttpConnection::OpenRequest(int nVerb, const char* pstrObjectName,
                                        const char* pstrReferer, DWORD_PTR dwContext,
                                        const char** ppstrAcceptTypes, const char* pstrVersion,
                                        DWORD dwFlags) {
    static const char* const kVerbs[] = {"POST", "GET", "HEAD"};
    if (nVerb < 0 || nVerb > HTTP_VERB_HEAD)
        AfxThrowInternetException(dwContext, ERROR_INVALID_PARAMETER);
    HINTERNET file =
        HttpOpenRequestA(m_connection.Get(), kVerbs[nVerb], pstrObjectName, pstrVersion,
                         pstrReferer, ppstrAcceptTypes, dwFlags, dwContext);
    if (file == nullptr)
        AfxThrowInternetException(dwContext);
    return new CHttpFile(file, dwContext);
}

BOOL CHttpFile::SendRequest(const char* pstrHeaders, DWORD dwHeadersLen, LPVOID lpOptional,
                            DWORD dwOptionalLen) {
    if (pstrHeaders != nullptr && dwHeadersLen == 0)
        dwHeadersLen = static_cast<DWORD>(std::strlen(pstrHeaders));
    if (!HttpSendRequestA(m_file.Get(), pstrHeaders, dwHeadersLen, lpOptional, dwOptionalLen))
        AfxThrowInternetException(m_dwContext);
    return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& dwStatusCode) const {
    DWORD length = sizeof(dwStatusCode);
    return HttpQueryInfoA(m_file.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                          &dwStatusCode, &length, nullptr);
}

BOOL CHttpFile::QueryInfo(DWORD dwInfoLevel, LPVOID lpvBuffer, LPDWORD lpdwBufferLength,
                          LPDWORD lpdwIndex) const {
    return HttpQueryInfoA(m_file.Get(), dwInfoLevel, lpvBuffer, lpdwBufferLength, lpdwIndex);
}

UINT CHttpFile::Read(void* lpBuf, UINT nCount) {
    DWORD read = 0;
    if (!InternetReadFile(m_file.Get(), lpBuf, nCount, &read))
        AfxThrowInternetException(m_dwContext);
    return read;
}

BOOL CHttpFile::SetOption(DWORD dwOption, DWORD dwValue) {
    return InternetSetOptionA(m_file.Get(), dwOption, &dwValue, sizeof(dwValue));
}

BOOL AfxParseURL(const char* pstrURL, DWORD& dwServiceType, CString& strServer, CString& strObject,
                 INTERNET_PORT& nPort) {
    dwServiceType = AFX_INET_SERVICE_UNK;
    strServer.Empty();
    strObject.Empty();
    nPort = 0;
    if (pstrURL == nullptr || *pstrURL == '\0')
        return FALSE;
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1];
    char path[INTERNET_MAX_PATH_LENGTH + 1];
    char extra[INTERNET_MAX_PATH_LENGTH + 1];
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof(path);
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof(extra);
    if (!InternetCrackUrlA(pstrURL, 0, 0, &parts))
        return FALSE;
    switch (parts.nScheme) {
        case INTERNET_SCHEME_HTTP:
            dwServiceType = AFX_INET_SERVICE_HTTP;
            break;
        case INTERNET_SCHEME_HTTPS:
            dwServiceType = AFX_INET_SERVICE_HTTPS;
            break;
        default:
            return FALSE;
    }
    strServer = host;
    strObject = path;
    strObject += extra;
    if (strObject.IsEmpty())
        strObject = "/";
    nPort = parts.nPort;
    return !strServer.IsEmpty();
}
