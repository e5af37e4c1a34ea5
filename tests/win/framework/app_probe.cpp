// A program on the framework's entry point. It reports what the application object saw into
// the file named by KESTO_PROBE_OUT and ends with a code that tells which path it took:
// KESTO_PROBE_INIT=false makes InitInstance return FALSE (code 11), anything else TRUE, after
// which the message loop runs and, with no main window, ends at once (code 21).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/afxwin.h"

namespace {

bool g_constructedBeforeEntry = false;

class CProbeApp : public CWinApp {
public:
    CProbeApp() { g_constructedBeforeEntry = m_hInstance == nullptr; }

    BOOL InitInstance() override {
        const char* init = std::getenv("KESTO_PROBE_INIT");
        m_bInitTrue = init == nullptr || std::strcmp(init, "false") != 0;
        if (const char* out = std::getenv("KESTO_PROBE_OUT")) {
            if (FILE* f = std::fopen(out, "w")) {
                std::fprintf(f, "name=%s\nconstructed-before-entry=%d\ninstance=%d\ncurrent=%d\n",
                             AfxGetAppName(), g_constructedBeforeEntry ? 1 : 0,
                             m_hInstance == GetModuleHandleA(nullptr) ? 1 : 0,
                             AfxGetThread() == this ? 1 : 0);
                std::fclose(f);
            }
        }
        return m_bInitTrue;
    }
    int Run() override {
        m_bRan = true;
        return CWinApp::Run();
    }
    int ExitInstance() override { return m_bRan ? 21 : 11; }

private:
    bool m_bInitTrue = true;
    bool m_bRan = false;
};

CProbeApp theApp;

}  // namespace
