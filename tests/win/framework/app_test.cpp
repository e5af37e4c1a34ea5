// The application object's entry behaviour, seen from outside: the probe program runs under
// the framework's WinMain and reports what happened.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "framework/afxwin.h"

namespace {

std::string ProbePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\') + 1) + "framework_app_probe.exe";
}

// Runs the probe (or a copy of it) with KESTO_PROBE_INIT set to init; returns its exit code
// and report.
DWORD RunProbe(const char* init, std::string* report, const std::string& probe = ProbePath()) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string out = std::string(temp) + "kesto_probe_" + init + ".txt";
    DeleteFileA(out.c_str());
    SetEnvironmentVariableA("KESTO_PROBE_INIT", init);
    SetEnvironmentVariableA("KESTO_PROBE_OUT", out.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + probe + "\"";
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 0xDEAD;
    DWORD code = 0xBAD;
    if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 0xBAD);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    *report = text.str();
    DeleteFileA(out.c_str());
    return code;
}

TEST(CWinAppTest, InitInstanceDecidesWhetherTheLoopRuns) {
    std::string report;
    // FALSE: the program ends at once with ExitInstance's code, no message loop.
    EXPECT_EQ(RunProbe("false", &report), 11u);
    EXPECT_EQ(report,
              "name=framework_app_probe\nconstructed-before-entry=1\ninstance=1\ncurrent=1\n");
    // TRUE: the loop runs and, with no main window, ends at once.
    EXPECT_EQ(RunProbe("true", &report), 21u);
    EXPECT_NE(report.find("name=framework_app_probe\n"), std::string::npos);
}

TEST(CWinAppTest, NameOfAGbkExecutableIsWhole) {
    // "乗" is 0x81 0x5C in GBK: its second byte is a backslash, and a byte-wise search for the
    // last separator would cut the name there.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "kesto_gbk_name_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string copy = folder + "\\安装乗x乗.exe";
    ASSERT_STREQ(copy.substr(copy.size() - 9, 2).c_str(), "\x81\x5c");
    ASSERT_TRUE(CopyFileA(ProbePath().c_str(), copy.c_str(), FALSE));
    std::string report;
    EXPECT_EQ(RunProbe("false", &report, copy), 11u);
    EXPECT_NE(report.find("name=安装乗x乗\n"), std::string::npos) << report;
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
