// Start-up through the system seam: every branch of the application object's construction
// and of InitInstance up to the running-product guard.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/kesto_quick_setup.h"
#include "shadow/wnd_shadow.h"

// This test program's package address: none, so a run that passes the guard ends at once.
const char* g_pszPackageUrl = "";

namespace {

HWND const kOtherWindow = reinterpret_cast<HWND>(0x4242);
HANDLE const kSnapshot = reinterpret_cast<HANDLE>(0x5151);

class FakeSystem : public SystemPort {
public:
    // What the fake answers.
    DWORD sidError = 0;         // AllocateAndInitializeSid fails with it when not 0
    DWORD membershipError = 0;  // CheckTokenMembership fails with it when not 0
    BOOL isMember = TRUE;
    bool otherCopy = false;
    BOOL otherIconic = FALSE;
    bool snapshotFails = false;
    std::vector<std::pair<std::string, DWORD>> processes = {{"[System Process]", 0}};

    // What the fake saw.
    int sidsBuilt = 0, sidsFreed = 0;
    std::vector<DWORD> subAuthorities;
    std::vector<SHELLEXECUTEINFOA> launches;
    std::vector<std::string> launchedFiles;
    DWORD moduleNameSize = 0;
    std::vector<std::wstring> searchedTitles;
    std::vector<std::pair<HWND, int>> shows;
    std::vector<HWND> foregrounds;
    std::vector<std::pair<std::string, UINT>> boxes;
    int gdiplusStarts = 0, gdiplusShutdowns = 0, snapshotsClosed = 0, snapshots = 0;
    size_t next = 0;

    BOOL AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0,
                                  DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6,
                                  DWORD s7, PSID* sid) override {
        subAuthorities = {count, s0, s1, s2, s3, s4, s5, s6, s7};
        EXPECT_EQ(std::memcmp(authority->Value, "\0\0\0\0\0\5", 6), 0);
        if (sidError != 0) {
            SetLastError(sidError);
            return FALSE;
        }
        ++sidsBuilt;
        return SystemPort::AllocateAndInitializeSid(authority, count, s0, s1, s2, s3, s4, s5, s6,
                                                    s7, sid);
    }
    BOOL CheckTokenMembership(HANDLE token, PSID, PBOOL member) override {
        EXPECT_EQ(token, nullptr);
        if (membershipError != 0) {
            SetLastError(membershipError);
            return FALSE;
        }
        *member = isMember;
        return TRUE;
    }
    PVOID FreeSid(PSID sid) override {
        ++sidsFreed;
        return SystemPort::FreeSid(sid);
    }
    DWORD GetModuleFileNameA(HMODULE, LPSTR path, DWORD size) override {
        moduleNameSize = size;
        std::strcpy(path, "C:\\Downloads\\KestoQuickSetup.exe");
        return static_cast<DWORD>(std::strlen(path));
    }
    BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) override {
        launches.push_back(*info);
        launchedFiles.push_back(info->lpFile);
        return TRUE;
    }
    HWND FindWindowW(LPCWSTR className, LPCWSTR title) override {
        EXPECT_EQ(className, nullptr);
        searchedTitles.push_back(title);
        return otherCopy ? kOtherWindow : nullptr;
    }
    BOOL IsIconic(HWND) override { return otherIconic; }
    BOOL ShowWindow(HWND hwnd, int command) override {
        shows.push_back({hwnd, command});
        return TRUE;
    }
    BOOL SetForegroundWindow(HWND hwnd) override {
        foregrounds.push_back(hwnd);
        return TRUE;
    }
    HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD pid) override {
        EXPECT_EQ(flags, DWORD(TH32CS_SNAPPROCESS));
        EXPECT_EQ(pid, 0u);
        ++snapshots;
        next = 0;
        return snapshotFails ? INVALID_HANDLE_VALUE : kSnapshot;
    }
    BOOL Process32First(HANDLE snapshot, PROCESSENTRY32* entry) override {
        next = 0;
        return Process32Next(snapshot, entry);
    }
    BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32* entry) override {
        EXPECT_EQ(snapshot, kSnapshot);
        EXPECT_EQ(entry->dwSize, sizeof(PROCESSENTRY32));
        if (next >= processes.size())
            return FALSE;
        std::strcpy(entry->szExeFile, processes[next].first.c_str());
        entry->th32ProcessID = processes[next].second;
        ++next;
        return TRUE;
    }
    BOOL CloseHandle(HANDLE handle) override {
        EXPECT_EQ(handle, kSnapshot);
        ++snapshotsClosed;
        return TRUE;
    }
    int AfxMessageBox(const char* text, UINT type) override {
        boxes.push_back({text, type});
        return IDOK;
    }
    Gdiplus::Status GdiplusStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                                   Gdiplus::GdiplusStartupOutput* output) override {
        EXPECT_EQ(input->GdiplusVersion, 1u);
        EXPECT_EQ(input->DebugEventCallback, nullptr);
        EXPECT_FALSE(input->SuppressBackgroundThread);
        EXPECT_FALSE(input->SuppressExternalCodecs);
        EXPECT_EQ(output, nullptr);
        ++gdiplusStarts;
        *token = 0x77;
        return Gdiplus::Ok;
    }
    void GdiplusShutdown(ULONG_PTR token) override {
        EXPECT_EQ(token, 0x77u);
        ++gdiplusShutdowns;
    }
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { SetSystemPort(&system_); }
    void TearDown() override { SetSystemPort(nullptr); }
    FakeSystem system_;
};

TEST_F(StartupTest, AdministratorWithNothingRunningSetsUpAndPassesTheGuard) {
    CKestoQuickSetupApp app;
    EXPECT_TRUE(app.m_bIsAdmin);
    EXPECT_FALSE(app.m_bOtherInstance);
    EXPECT_EQ(app.m_dwRestartManagerSupportFlags, DWORD(AFX_RESTART_MANAGER_SUPPORT_RESTART));
    EXPECT_EQ(system_.subAuthorities, (std::vector<DWORD>{2, 32, 544, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(system_.sidsFreed, 1);
    EXPECT_TRUE(system_.launches.empty());
    EXPECT_EQ(
        system_.searchedTitles,
        std::vector<std::wstring>{
            L"\u5CAB\u6F9C\u6C47\u5FEB\u901F\u5B89\u88C5\u7A0B\u5E8F"});  // 岫澜汇快速安装程序
    EXPECT_TRUE(app.m_job.strUrl.IsEmpty());
    EXPECT_EQ(WaitForSingleObject(app.m_event, 0), DWORD(WAIT_TIMEOUT));

    EXPECT_FALSE(app.InitInstance());
    EXPECT_STREQ(app.m_strRegistryKey, "应用程序向导生成的本地应用程序");
    EXPECT_EQ(system_.gdiplusStarts, 1);
    EXPECT_EQ(system_.snapshots, 1);
    EXPECT_EQ(system_.snapshotsClosed, 1);
    // Past the guard the run sequence begins; without a package address it ends at once.
    ASSERT_EQ(system_.boxes.size(), 1u);
    EXPECT_EQ(system_.boxes[0].first, "配置文件丢失!");
    EXPECT_EQ(system_.gdiplusShutdowns, 1);
    EXPECT_NE(CWndShadow::s_pfnUpdateLayered, nullptr);  // the shadow facility is set up
}

TEST_F(StartupTest, NotAnAdministratorRelaunchesElevatedAndDoesNothingElse) {
    system_.isMember = FALSE;
    CKestoQuickSetupApp app;
    EXPECT_FALSE(app.m_bIsAdmin);
    ASSERT_EQ(system_.launches.size(), 1u);
    const SHELLEXECUTEINFOA& info = system_.launches[0];
    EXPECT_EQ(info.cbSize, sizeof(SHELLEXECUTEINFOA));
    EXPECT_STREQ(info.lpVerb, "runas");
    EXPECT_EQ(system_.launchedFiles[0], "C:\\Downloads\\KestoQuickSetup.exe");
    EXPECT_EQ(system_.moduleNameSize, 259u);
    EXPECT_EQ(info.lpParameters, nullptr);
    EXPECT_EQ(info.lpDirectory, nullptr);
    EXPECT_EQ(info.fMask, 0u);
    EXPECT_EQ(info.hwnd, nullptr);
    EXPECT_EQ(info.nShow, SW_SHOWNORMAL);

    EXPECT_TRUE(app.InitInstance());  // the loop then ends at once: no main window
    EXPECT_EQ(system_.gdiplusStarts, 0);
    EXPECT_EQ(system_.snapshots, 0);
    EXPECT_TRUE(system_.boxes.empty());
}

TEST_F(StartupTest, FailedMembershipTestEndsWithItsCodeAndNoRelaunch) {
    const struct {
        int line;
        DWORD sidError, membershipError;
        int freed;
    } rows[] = {{__LINE__, ERROR_ACCESS_DENIED, 0, 0}, {__LINE__, 0, ERROR_NO_TOKEN, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        FakeSystem system;
        system.sidError = row.sidError;
        system.membershipError = row.membershipError;
        SetSystemPort(&system);
        CKestoQuickSetupApp app;
        EXPECT_EQ(app.m_dwAdminTestError, row.sidError + row.membershipError);
        EXPECT_EQ(system.sidsFreed, row.freed);
        EXPECT_TRUE(system.launches.empty());
        EXPECT_TRUE(system.searchedTitles.empty());
        EXPECT_FALSE(app.InitInstance());
        ASSERT_EQ(system.boxes.size(), 1u);
        const std::string code = std::to_string(row.sidError + row.membershipError);
        EXPECT_NE(system.boxes[0].first.find(code), std::string::npos) << system.boxes[0].first;
        EXPECT_EQ(system.boxes[0].second, UINT(MB_OK));
        EXPECT_EQ(system.gdiplusStarts, 0);
        EXPECT_EQ(system.snapshots, 0);
    }
}

TEST_F(StartupTest, AnotherCopysWindowIsBroughtToTheFrontAndThisCopyEndsQuietly) {
    const struct {
        BOOL iconic;
        int command;
    } rows[] = {{TRUE, SW_SHOWNORMAL}, {FALSE, SW_RESTORE}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.iconic);
        FakeSystem system;
        system.otherCopy = true;
        system.otherIconic = row.iconic;
        SetSystemPort(&system);
        CKestoQuickSetupApp app;
        EXPECT_TRUE(app.m_bOtherInstance);
        EXPECT_EQ(system.shows, (std::vector<std::pair<HWND, int>>{{kOtherWindow, row.command}}));
        EXPECT_EQ(system.foregrounds, std::vector<HWND>{kOtherWindow});
        EXPECT_FALSE(app.InitInstance());
        EXPECT_TRUE(system.boxes.empty());
        EXPECT_EQ(system.gdiplusStarts, 0);
    }
}

TEST_F(StartupTest, NotAnAdministratorStillActivatesAnotherCopy) {
    system_.isMember = FALSE;
    system_.otherCopy = true;
    CKestoQuickSetupApp app;
    EXPECT_EQ(system_.launches.size(), 1u);
    EXPECT_EQ(system_.foregrounds.size(), 1u);
    EXPECT_TRUE(app.InitInstance());  // not an administrator comes first
}

TEST_F(StartupTest, RunningProductStopsWithItsMessage) {
    system_.processes = {{"[System Process]", 0}, {"explorer.exe", 8}, {"KESTO.exe", 77}};
    CKestoQuickSetupApp app;
    EXPECT_FALSE(app.InitInstance());
    ASSERT_EQ(system_.boxes.size(), 1u);
    EXPECT_EQ(system_.boxes[0].first, "岫澜电子经纪平台正在运行，请退出后再试!");
    EXPECT_EQ(system_.boxes[0].second, UINT(MB_OK));
    EXPECT_EQ(system_.gdiplusStarts, 1);
    EXPECT_EQ(system_.gdiplusShutdowns, 1);
}

TEST_F(StartupTest, FindRunningProcessComparesOnlyNamesAfterTheFirstEntry) {
    const struct {
        int line;
        std::vector<std::pair<std::string, DWORD>> processes;
        DWORD found;
    } rows[] = {
        {__LINE__, {{"idle", 0}, {"kesto.exe", 12}}, 12},
        {__LINE__, {{"idle", 0}, {"a.exe", 3}, {"KeStO.ExE", 13}, {"kesto.exe", 14}}, 13},
        {__LINE__, {{"idle", 0}, {"kesto.exe.bak", 15}, {"kesto.ex", 16}, {"xkesto.exe", 17}}, 0},
        {__LINE__, {{"kesto.exe", 18}, {"other.exe", 19}}, 0},  // the first entry is not seen
        {__LINE__, {}, 0},
        {__LINE__, {{"idle", 0}, {"岫澜.exe", 20}, {"kesto.exe", 21}}, 21},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        system_.processes = row.processes;
        system_.snapshotsClosed = 0;
        EXPECT_EQ(CKestoQuickSetupApp::FindRunningProcess("kesto.exe"), row.found);
        EXPECT_EQ(system_.snapshotsClosed, 1);
    }
    system_.snapshotFails = true;
    EXPECT_EQ(CKestoQuickSetupApp::FindRunningProcess("kesto.exe"), 0u);
}

TEST(ShadowClassTest, SecondRegistrationKeepsTheFirstState) {
    HINSTANCE first = GetModuleHandleA(nullptr);
    CWndShadow::RegisterShadowClass(first);  // may have run already in this process
    const auto layered = CWndShadow::s_pfnUpdateLayered;
    const auto composition = CWndShadow::s_pfnDwmCompositionEnabled;
    const HINSTANCE module = CWndShadow::s_hModule;
    ASSERT_NE(layered, nullptr);
    EXPECT_EQ(module, first);
    EXPECT_FALSE(CWndShadow::RegisterShadowClass(reinterpret_cast<HINSTANCE>(0x1234)));
    EXPECT_EQ(CWndShadow::s_pfnUpdateLayered, layered);
    EXPECT_EQ(CWndShadow::s_pfnDwmCompositionEnabled, composition);
    EXPECT_EQ(CWndShadow::s_hModule, first);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExA(first, "CorvoShadowWnd", &wc));
    EXPECT_EQ(wc.style, UINT(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(wc.lpfnWndProc, reinterpret_cast<WNDPROC>(&DefWindowProcA));
    EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace
