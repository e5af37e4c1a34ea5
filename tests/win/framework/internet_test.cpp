// The internet classes against a one-shot HTTP server on a loopback socket of this process,
// and AfxMessageBox as another thread sees it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "tests/win/framework/wait_for.h"

namespace {

// Accepts one connection, keeps the request's head and answers with a fixed response.
class OneShotServer {
public:
    explicit OneShotServer(std::string response) : response_(std::move(response)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 1);
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotServer() {
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    INTERNET_PORT port() const { return port_; }
    const std::string& request() const { return request_; }

private:
    void Serve() {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            request_.append(buffer, got);
        }
        send(client, response_.data(), static_cast<int>(response_.size()), 0);
        shutdown(client, SD_SEND);
        closesocket(client);
    }

    std::string response_;
    SOCKET listener_;
    INTERNET_PORT port_ = 0;
    std::string request_;
    std::thread thread_;
};

// A loopback port nobody listens on: bound once to learn it, then given back.
INTERNET_PORT FreePort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    closesocket(s);
    WSACleanup();
    return ntohs(address.sin_port);
}

TEST(InternetTest, GetReadsStatusHeadersAndBody) {
    OneShotServer server(
        "HTTP/1.1 200 OK\r\nContent-Length: 11\r\nConnection: close\r\n\r\n"
        "hello world");
    CInternetSession session;
    EXPECT_TRUE(session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 2000));
    EXPECT_TRUE(session.SetOption(INTERNET_OPTION_CONNECT_RETRIES, 1));
    std::unique_ptr<CHttpConnection> connection(
        session.GetHttpConnection("127.0.0.1", server.port()));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(HTTP_VERB_GET, "/introduction/x"));
    EXPECT_TRUE(file->SendRequest());
    DWORD status = 0;
    EXPECT_TRUE(file->QueryInfoStatusCode(status));
    EXPECT_EQ(status, 200u);
    char length[1024] = {};
    DWORD size = sizeof(length);
    EXPECT_TRUE(file->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length, &size));
    EXPECT_STREQ(length, "11");
    std::string body;
    char chunk[4];  // small reads: the body arrives in several
    while (UINT got = file->Read(chunk, sizeof(chunk)))
        body.append(chunk, got);
    EXPECT_EQ(body, "hello world");
    EXPECT_EQ(file->Read(chunk, sizeof(chunk)), 0u);
    file->Close();
    connection->Close();
    session.Close();
    EXPECT_EQ(server.request().rfind("GET /introduction/x HTTP/1.1\r\n", 0), 0u);
    // Without an agent of its own the session names the application.
    EXPECT_NE(server.request().find("User-Agent: framework_test\r\n"), std::string::npos);
}

TEST(InternetTest, FailuresArriveAsExceptionsWithTheSystemsText) {
    const INTERNET_PORT closedPort = FreePort();
    CInternetSession session;
    session.SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, 2000);
    std::unique_ptr<CHttpConnection> connection(session.GetHttpConnection("127.0.0.1", closedPort));
    std::unique_ptr<CHttpFile> file(connection->OpenRequest(HTTP_VERB_GET, "/"));
    DWORD error = 0;
    char text[512] = "junk";
    BOOL found = FALSE;
    try {
        file->SendRequest();
    } catch (CInternetException* e) {
        error = e->m_dwError;
        found = e->GetErrorMessage(text, sizeof(text));
        e->Delete();
    }
    EXPECT_EQ(error, DWORD(ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_TRUE(found);
    EXPECT_GT(std::strlen(text), 0u);

    CInternetException unknown(0x2badbeef);
    std::strcpy(text, "junk");
    EXPECT_FALSE(unknown.GetErrorMessage(text, sizeof(text)));
    EXPECT_STREQ(text, "");
}

TEST(InternetTest, ParseUrlSplitsServerObjectAndPort) {
    struct Row {
        int line;
        const char* url;
        BOOL ok;
        DWORD service;
        const char* server;
        const char* object;
        INTERNET_PORT port;
    } rows[] = {
        {__LINE__, "http://127.0.0.1:8731/introduction/download/tarune.zip", TRUE,
         AFX_INET_SERVICE_HTTP, "127.0.0.1", "/introduction/download/tarune.zip", 8731},
        {__LINE__, "http://example.com/a/b?c=d", TRUE, AFX_INET_SERVICE_HTTP, "example.com",
         "/a/b?c=d", 80},
        {__LINE__, "http://example.com", TRUE, AFX_INET_SERVICE_HTTP, "example.com", "/", 80},
        {__LINE__, "https://example.com/p", TRUE, AFX_INET_SERVICE_HTTPS, "example.com", "/p", 443},
        {__LINE__, "", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
        {__LINE__, "not an url", FALSE, AFX_INET_SERVICE_UNK, "", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        DWORD service = 1234;
        CString server("x"), object("y");
        INTERNET_PORT port = 1;
        EXPECT_EQ(AfxParseURL(row.url, service, server, object, port), row.ok);
        EXPECT_EQ(service, row.service);
        EXPECT_STREQ(server, row.server);
        EXPECT_STREQ(object, row.object);
        EXPECT_EQ(port, row.port);
    }
}

HWND FindMessageBox(const char* caption) {
    HWND found = nullptr;
    WaitFor([&] {
        found = FindWindowA("#32770", caption);
        return found != nullptr;
    });
    return found;
}

TEST(AfxMessageBoxTest, OkBoxWithExclamationAndTheApplicationNameAsCaption) {
    int result = 0;
    std::thread shower([&] { result = AfxMessageBox("配置文件丢失!", MB_OK); });
    HWND box = FindMessageBox("framework_test");
    ASSERT_NE(box, nullptr);
    char text[64] = {};
    GetWindowTextA(GetDlgItem(box, 0xFFFF), text, sizeof(text));
    EXPECT_STREQ(text, "配置文件丢失!");
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr);
    // The icon is the system's exclamation icon.
    HWND icon = nullptr;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            icon = child;
    }
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)),
              LoadIconA(nullptr, IDI_EXCLAMATION));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    shower.join();
    EXPECT_EQ(result, IDOK);
}

}  // namespace
