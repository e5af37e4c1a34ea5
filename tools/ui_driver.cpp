// ui_driver: drives and inspects windows of other programs in the same Wine prefix, for the
// end-to-end tests. Texts are printed as the ANSI (GBK) bytes the windows hold.
//
//   find TITLE [MS]             wait up to MS (default 10000) for a visible top-level window
//                               with this title; print its handle
//   message-box [MS]            wait for a message box; print its handle, its caption and its
//                               text (which may run over several lines), one line each
//   press HWND ID               post WM_COMMAND ID to the window
//   foreground                  print the foreground window's handle and title
//   info HWND                   print "exists visible iconic left top width height"
//   click HWND X Y              move the pointer to the client point and click there
//   drag HWND X Y DX DY         press at the client point, move by (DX, DY) in steps, release
//   capture HWND FILE           save the window's pixels as it is on screen, 24-bit BMP
//   window TITLE [iconic]       show a top-level window with this title until it is closed
//                               (at most 60 s)
//   wait-gone HWND [MS]         wait until the window no longer exists
//   process NAME [MS]           wait until a process with this executable name runs
//   load DLL                    LoadLibraryA with the default search (the test of a planted
//                               DLL's premise: it is found beside the program)
//
// Exit code 0 on success, 1 when what was waited for did not come, 2 on a usage error.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

template <typename Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > end)
            return false;
        Sleep(10);
    }
    return true;
}

unsigned long HandleValue(HWND hwnd) {
    return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd));
}

HWND ParseHandle(const char* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

DWORD ParseMs(int argc, char** argv, int at) {
    return argc > at ? static_cast<DWORD>(std::strtoul(argv[at], nullptr, 0)) : 10000;
}

std::string TextOf(HWND hwnd) {
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

struct Search {
    const char* title;
    HWND found;
};

BOOL CALLBACK FindVisibleTitled(HWND hwnd, LPARAM param) {
    Search* search = reinterpret_cast<Search*>(param);
    if (IsWindowVisible(hwnd) && TextOf(hwnd) == search->title) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM param) {
    char cls[16] = {};
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd) &&
        GetDlgItem(hwnd, 0xFFFF) != nullptr) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void SendMouse(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

POINT ScreenPoint(HWND hwnd, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    return p;
}

// Moves the pointer and waits until the system reports it there.
void MoveTo(POINT p) {
    SetCursorPos(p.x, p.y);
    WaitFor(
        [&] {
            POINT now;
            GetCursorPos(&now);
            return now.x == p.x && now.y == p.y;
        },
        2000);
}

bool SaveBmp(const char* file, HDC source, int left, int top, int width, int height) {
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, source, left, top, SRCCOPY);
    SelectObject(memory, old);
    const DWORD stride = (width * 3 + 3) & ~3u;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + stride * height;
    bool ok = false;
    if (FILE* f = std::fopen(file, "wb")) {
        ok = std::fwrite(&header, sizeof(header), 1, f) == 1 &&
             std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f) == 1 &&
             std::fwrite(bits, stride * height, 1, f) == 1;
        ok = std::fclose(f) == 0 && ok;
    }
    DeleteObject(dib);
    DeleteDC(memory);
    return ok;
}

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int ShowPlainWindow(const char* title, bool iconic) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "KestoUiDriverWindow";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(hwnd, iconic ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
    std::printf("0x%lx\n", HandleValue(hwnd));
    std::fflush(stdout);
    SetTimer(hwnd, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER)
            DestroyWindow(hwnd);
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

bool ProcessRuns(const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry)) {
        found = lstrcmpiA(entry.szExeFile, name) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

int Usage() {
    std::fprintf(stderr, "usage: ui_driver COMMAND ... (see the source's header)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    if (command == "find" && argc >= 3) {
        Search search = {argv[2], nullptr};
        if (!WaitFor(
                [&] {
                    EnumWindows(&FindVisibleTitled, reinterpret_cast<LPARAM>(&search));
                    return search.found != nullptr;
                },
                ParseMs(argc, argv, 3)))
            return 1;
        std::printf("0x%lx\n", HandleValue(search.found));
        return 0;
    }
    if (command == "message-box") {
        HWND box = nullptr;
        if (!WaitFor(
                [&] {
                    EnumWindows(&FindMessageBox, reinterpret_cast<LPARAM>(&box));
                    return box != nullptr;
                },
                ParseMs(argc, argv, 2)))
            return 1;
        // The text last: it may hold line breaks of its own.
        std::printf("0x%lx\n%s\n%s\n", HandleValue(box), TextOf(box).c_str(),
                    TextOf(GetDlgItem(box, 0xFFFF)).c_str());
        return 0;
    }
    if (command == "press" && argc >= 4) {
        return PostMessageA(ParseHandle(argv[2]), WM_COMMAND, std::strtoul(argv[3], nullptr, 0), 0)
                   ? 0
                   : 1;
    }
    if (command == "foreground") {
        HWND hwnd = GetForegroundWindow();
        std::printf("0x%lx\n%s\n", HandleValue(hwnd), TextOf(hwnd).c_str());
        return 0;
    }
    if (command == "info" && argc >= 3) {
        HWND hwnd = ParseHandle(argv[2]);
        RECT r = {};
        GetWindowRect(hwnd, &r);
        std::printf("%d %d %d %ld %ld %ld %ld\n", IsWindow(hwnd) ? 1 : 0,
                    IsWindowVisible(hwnd) ? 1 : 0, IsIconic(hwnd) ? 1 : 0, r.left, r.top,
                    r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == "click" && argc >= 5) {
        // The pointer goes there and the window gets the press and the release at that client
        // point; Wine would otherwise press at the pointer's X position, which trails behind.
        HWND hwnd = ParseHandle(argv[2]);
        const int x = std::atoi(argv[3]);
        const int y = std::atoi(argv[4]);
        MoveTo(ScreenPoint(hwnd, x, y));
        PostMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        return 0;
    }
    if (command == "drag" && argc >= 7) {
        HWND hwnd = ParseHandle(argv[2]);
        POINT p = ScreenPoint(hwnd, std::atoi(argv[3]), std::atoi(argv[4]));
        const int dx = std::atoi(argv[5]);
        const int dy = std::atoi(argv[6]);
        MoveTo(p);
        SendMouse(MOUSEEVENTF_LEFTDOWN);
        const int steps = 10;
        for (int i = 1; i <= steps; ++i) {
            MoveTo({p.x + dx * i / steps, p.y + dy * i / steps});
            Sleep(20);  // let the window follow each step before the next one
        }
        SendMouse(MOUSEEVENTF_LEFTUP);
        return 0;
    }
    if (command == "capture" && argc >= 4) {
        HWND hwnd = ParseHandle(argv[2]);
        RECT r;
        if (!GetWindowRect(hwnd, &r))
            return 1;
        HDC screen = GetDC(nullptr);
        const bool ok = SaveBmp(argv[3], screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
        ReleaseDC(nullptr, screen);
        return ok ? 0 : 1;
    }
    if (command == "window" && argc >= 3)
        return ShowPlainWindow(argv[2], argc >= 4 && std::strcmp(argv[3], "iconic") == 0);
    if (command == "wait-gone" && argc >= 3) {
        HWND hwnd = ParseHandle(argv[2]);
        return WaitFor([&] { return !IsWindow(hwnd); }, ParseMs(argc, argv, 3)) ? 0 : 1;
    }
    if (command == "load" && argc >= 3)
        return LoadLibraryA(argv[2]) != nullptr ? 0 : 1;
    if (command == "process" && argc >= 3)
        return WaitFor([&] { return ProcessRuns(argv[2]); }, ParseMs(argc, argv, 3)) ? 0 : 1;
    return Usage();
}
