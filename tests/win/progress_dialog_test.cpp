// The progress dialog on a real UI thread, driven from the test's thread the way the worker
// and the run sequence drive it: sent notices, SetWindowText, a posted WM_QUIT.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/win/near_colour.h"
#include "tests/win/framework/wait_for.h"
#include "ui/ui_thread.h"

namespace {

const COLORREF kBackground = RGB(58, 64, 77);
const COLORREF kCross = RGB(146, 155, 169);
const COLORREF kTrack = RGB(34, 38, 44);

// The screen's pixels over a rectangle, as the user sees them (shadow included).
class Capture {
public:
    // From the window's own surface when a window is given, else from the screen.
    Capture(const RECT& screen, HWND window = nullptr) : rect_(screen) {
        width_ = screen.right - screen.left;
        height_ = screen.bottom - screen.top;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        HDC screenDc = GetDC(window);
        HDC memory = CreateCompatibleDC(screenDc);
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width_, height_, screenDc, window ? 0 : screen.left,
               window ? 0 : screen.top, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels_.assign(p, p + width_ * height_);
        SelectObject(memory, old);
        DeleteObject(dib);
        DeleteDC(memory);
        ReleaseDC(window, screenDc);
    }
    COLORREF At(int x, int y) const {
        const DWORD v = pixels_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    // Any pixel in [left, right) x [top, bottom) for which the test holds.
    template <typename Test>
    bool Any(int left, int top, int right, int bottom, Test test) const {
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                if (test(At(x, y)))
                    return true;
            }
        }
        return false;
    }
    bool SaveBmp(const char* path) const {
        FILE* f = std::fopen(path, "wb");
        if (f == nullptr)
            return false;
        BITMAPFILEHEADER file = {};
        BITMAPINFOHEADER info = {};
        info.biSize = sizeof(info);
        info.biWidth = width_;
        info.biHeight = -height_;
        info.biPlanes = 1;
        info.biBitCount = 32;
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(info);
        file.bfSize = file.bfOffBits + width_ * height_ * 4;
        std::vector<DWORD> opaque(pixels_);
        for (DWORD& v : opaque)
            v |= 0xFF000000;  // viewers read the fourth byte as alpha
        bool ok = std::fwrite(&file, sizeof(file), 1, f) == 1 &&
                  std::fwrite(&info, sizeof(info), 1, f) == 1 &&
                  std::fwrite(opaque.data(), width_ * height_ * 4, 1, f) == 1;
        return std::fclose(f) == 0 && ok;
    }

private:
    RECT rect_;
    int width_, height_;
    std::vector<DWORD> pixels_;
};

class ProgressDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartup(&token_, &input_, nullptr);
        CWndShadow::RegisterShadowClass(GetModuleHandleA(nullptr));
        PointerTo(ScreenCentre());  // before any dialog exists, so its moves reach none
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    void SetUp() override {
        g_bUserCancelled = false;
        thread_ = static_cast<CUIThread*>(
            AfxBeginThread(RUNTIME_CLASS(CUIThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
        ASSERT_NE(thread_, nullptr);
        thread_->m_bAutoDelete = FALSE;
        thread_->ResumeThread();
        ASSERT_TRUE(WaitFor([&] {
            CWnd* main = thread_->GetMainWnd();
            return main != nullptr && IsWindow(main->m_hWnd);
        }));
        dialog_ = thread_->m_pDialog;
        hwnd_ = dialog_->m_hWnd;
        Repaint();
    }
    void TearDown() override {
        if (thread_ == nullptr)
            return;
        PostThreadMessageA(thread_->m_nThreadID, WM_QUIT, 0, 0);
        EXPECT_EQ(WaitForSingleObject(thread_->m_hThread, 10000), DWORD(WAIT_OBJECT_0));
        delete thread_;
    }

    LRESULT Notice(int percent, const char* text) {
        ProgressNotice notice = {};
        notice.nPercent = percent;
        std::strncpy(notice.szText, text, sizeof(notice.szText) - 1);
        return SendMessageA(hwnd_, WM_PROGRESS_NOTICE, 0, reinterpret_cast<LPARAM>(&notice));
    }
    void Repaint() {
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    RECT Window() const {
        RECT r;
        GetWindowRect(hwnd_, &r);
        return r;
    }
    // The client area once the dialog and the bar have painted anew: both have begun when
    // their update regions are empty, and a sent message runs after the paint in progress.
    Capture Client() {
        HWND bar = dialog_->m_progressBar.m_hWnd;
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        EXPECT_TRUE(WaitFor([&] {
            RECT r;
            return !GetUpdateRect(hwnd_, &r, FALSE) && !GetUpdateRect(bar, &r, FALSE);
        }));
        SendMessageA(hwnd_, WM_NULL, 0, 0);
        return Capture({0, 0, 570, 184}, hwnd_);
    }
    static POINT ScreenCentre() {
        return {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
    }
    static void PointerTo(POINT p) {
        SetCursorPos(p.x, p.y);
        WaitFor([&] {
            POINT now;
            GetCursorPos(&now);
            return now.x == p.x && now.y == p.y;
        });
    }
    // The screen point over a client point of the dialog.
    POINT Pointer(int clientX, int clientY) const {
        POINT p = {clientX, clientY};
        ClientToScreen(hwnd_, &p);
        return p;
    }
    // The dialog gets the message a pointer at this screen point brings, handled when this
    // returns. The real pointer rests at the screen's centre, over the dialog, and every drag
    // ends there: the moves the system makes up by itself (after a warp, or when a window
    // moves under the pointer) then lead where the drag leads, and leave tracking stays
    // quiet. Only the leave test moves the real pointer, and puts it back.
    void MouseAt(UINT message, POINT screen) {
        POINT client = screen;
        ScreenToClient(hwnd_, &client);
        SendMessageA(hwnd_, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     MAKELPARAM(client.x, client.y));
    }
    static Gdiplus::GdiplusStartupInput input_;
    static ULONG_PTR token_;
    CUIThread* thread_ = nullptr;
    CKestoQuickSetupDlg* dialog_ = nullptr;
    HWND hwnd_ = nullptr;
};

Gdiplus::GdiplusStartupInput ProgressDialogTest::input_;
ULONG_PTR ProgressDialogTest::token_ = 0;

TEST_F(ProgressDialogTest, BorderlessCentredWithATaskbarButtonAndItsShadow) {
    const RECT r = Window();
    EXPECT_EQ(r.right - r.left, 570);
    EXPECT_EQ(r.bottom - r.top, 184);
    RECT client;
    GetClientRect(hwnd_, &client);
    EXPECT_EQ(client.right, 570);
    EXPECT_EQ(client.bottom, 184);
    const LONG style = GetWindowLongA(hwnd_, GWL_STYLE);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
    EXPECT_TRUE(style & WS_CLIPCHILDREN);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(r.left, (work.left + work.right) / 2 - 285);
    EXPECT_EQ(r.top, (work.top + work.bottom) / 2 - 92);
    char caption[64] = {};
    GetWindowTextA(hwnd_, caption, sizeof(caption));
    EXPECT_STREQ(caption, "KestoQuickSetup");
    // The worker's title is the one a second copy looks for.
    SetWindowTextA(hwnd_, "岫澜汇快速安装程序");
    EXPECT_EQ(FindWindowA(nullptr, "岫澜汇快速安装程序"), hwnd_);
    HWND shadow = dialog_->m_wndShadow.m_hShadowWnd;
    ASSERT_TRUE(IsWindow(shadow));
    EXPECT_TRUE(IsWindowVisible(shadow));
    RECT s;
    GetWindowRect(shadow, &s);
    EXPECT_EQ(s.left, r.left - 4);
    EXPECT_EQ(s.right - s.left, 578);
    EXPECT_EQ(SendMessageA(hwnd_, WM_QUERYDRAGICON, 0, 0),
              reinterpret_cast<LRESULT>(dialog_->m_hIcon));
    EXPECT_NE(dialog_->m_hIcon, nullptr);
}

TEST_F(ProgressDialogTest, PaintsBackgroundCrossIconTitleStatusAndBar) {
    Notice(42, "正在下载（42%）......");
    const Capture c = Client();
    EXPECT_EQ(c.At(5, 5), kBackground);
    EXPECT_EQ(c.At(300, 150), kBackground);
    EXPECT_EQ(c.At(569, 183), kBackground);
    // The cross: both diagonals of (541, 14, 553, 26), nothing beside them.
    EXPECT_EQ(c.At(547, 20), kCross);
    EXPECT_EQ(c.At(543, 16), kCross);
    EXPECT_EQ(c.At(551, 16), kCross);
    EXPECT_EQ(c.At(543, 24), kCross);
    EXPECT_EQ(c.At(547, 15), kBackground);
    EXPECT_EQ(c.At(541, 20), kBackground);
    EXPECT_FALSE(c.Any(530, 0, 570, 12, [](COLORREF p) { return p != kBackground; }));
    // The icon at (22, 22), 16 x 16.
    EXPECT_TRUE(c.Any(22, 22, 38, 38, [](COLORREF p) { return p != kBackground; }));
    EXPECT_FALSE(c.Any(0, 0, 22, 60, [](COLORREF p) { return p != kBackground; }));
    // The title's pixels lie within (47, 21, 167, 37) and reach its colour.
    EXPECT_TRUE(c.Any(47, 21, 167, 37, [](COLORREF p) { return Near(p, RGB(156, 167, 184), 12); }));
    EXPECT_FALSE(c.Any(38, 0, 530, 20, [](COLORREF p) { return p != kBackground; }));
    // The status line is white, inside (185, 74, 445, 92).
    EXPECT_TRUE(c.Any(185, 74, 445, 92, [](COLORREF p) { return p == RGB(255, 255, 255); }));
    EXPECT_FALSE(c.Any(0, 40, 570, 74, [](COLORREF p) { return p != kBackground; }));
    EXPECT_FALSE(c.Any(0, 92, 570, 114, [](COLORREF p) { return p != kBackground; }));
    EXPECT_FALSE(c.Any(0, 74, 185, 92, [](COLORREF p) { return p != kBackground; }));
    EXPECT_FALSE(c.Any(445, 74, 570, 92, [](COLORREF p) { return p != kBackground; }));
    // The bar at (37, 114), 495 x 2: 5 x (42 - 1) = 205 pixels of the strip, then the track.
    EXPECT_TRUE(Near(c.At(37 + 204, 114), RGB(233, 220, 6), 3));
    EXPECT_NE(c.At(37, 115), kTrack);
    EXPECT_EQ(c.At(37 + 205, 114), kTrack);
    EXPECT_EQ(c.At(531, 115), kTrack);
    EXPECT_EQ(c.At(36, 114), kBackground);
    EXPECT_EQ(c.At(532, 114), kBackground);
    EXPECT_EQ(c.At(300, 113), kBackground);
    EXPECT_EQ(c.At(300, 116), kBackground);

    // The artefact to look at: the dialog and its shadow on the desktop.
    const RECT r = Window();
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string out(path);
    out = out.substr(0, out.rfind('\\') + 1) + "dialog_42.bmp";
    EXPECT_TRUE(
        Capture({r.left - 12, r.top - 12, r.right + 12, r.bottom + 12}).SaveBmp(out.c_str()));
}

TEST_F(ProgressDialogTest, NoticesOutOfRangeChangeNothingAndEmptyTextEmptiesTheLine) {
    Notice(30, "三十");
    EXPECT_STREQ(dialog_->m_strStatus, "三十");
    EXPECT_EQ(dialog_->m_progressBar.m_nPos, 30);
    for (int bad : {101, -1}) {
        EXPECT_EQ(Notice(bad, "坏"), 0);
        EXPECT_STREQ(dialog_->m_strStatus, "三十");
        EXPECT_EQ(dialog_->m_progressBar.m_nPos, 30);
    }
    EXPECT_EQ(SendMessageA(hwnd_, WM_PROGRESS_NOTICE, 0, 0), 0);  // a null record
    Notice(60, "");
    EXPECT_STREQ(dialog_->m_strStatus, "");
    EXPECT_EQ(dialog_->m_progressBar.m_nPos, 60);
    const Capture c = Client();
    EXPECT_FALSE(c.Any(185, 74, 445, 92, [](COLORREF p) { return p != kBackground; }));
    EXPECT_EQ(c.At(37 + 294, 114) == kTrack, false);  // 5 x 59 = 295 pixels filled
    EXPECT_EQ(c.At(37 + 295, 114), kTrack);
    // 100 fills all 495 pixels.
    Notice(100, "下载完成");
    EXPECT_NE(Client().At(531, 115), kTrack);
}

TEST_F(ProgressDialogTest, DragMovesByThePointersDisplacementAndKeepsTheSize) {
    const RECT before = Window();
    const POINT rest = ScreenCentre();
    const POINT press = {rest.x - 40, rest.y - 24};
    MouseAt(WM_LBUTTONDOWN, press);
    for (int step = 1; step <= 8; ++step)
        MouseAt(WM_MOUSEMOVE, {press.x + 5 * step, press.y + 3 * step});
    // The system's own moves, queued behind ours, lead to the same place.
    EXPECT_TRUE(WaitFor([&] {
        const RECT r = Window();
        return r.left == before.left + 40 && r.top == before.top + 24;
    }));
    MouseAt(WM_LBUTTONUP, {press.x + 40, press.y + 24});
    const RECT after = Window();
    EXPECT_EQ(after.right - after.left, 570);
    EXPECT_EQ(after.bottom - after.top, 184);
    EXPECT_EQ(dialog_->m_nPressX, 0);
    RECT s;  // the shadow followed
    GetWindowRect(dialog_->m_wndShadow.m_hShadowWnd, &s);
    EXPECT_EQ(s.left, after.left - 4);
    EXPECT_EQ(s.top, after.top - 4);
    MouseAt(WM_MOUSEMOVE, {press.x + 100, press.y + 60});  // released: nothing follows
    EXPECT_EQ(Window().left, after.left);
}

TEST_F(ProgressDialogTest, APressOnTheEdgeStartsNoDragAndLeavingEndsOne) {
    const RECT before = Window();
    for (POINT edge : {POINT{0, 100}, POINT{200, 0}}) {
        SCOPED_TRACE(edge.x);
        const POINT at = Pointer(edge.x, edge.y);
        MouseAt(WM_LBUTTONDOWN, at);
        EXPECT_EQ(dialog_->m_nPressX > 0 && dialog_->m_nPressY > 0, false);
        MouseAt(WM_MOUSEMOVE, {at.x + 30, at.y + 30});
        EXPECT_EQ(Window().left, before.left);
        EXPECT_EQ(Window().top, before.top);
        MouseAt(WM_LBUTTONUP, {at.x + 30, at.y + 30});
    }
    // Pressed inside, then the pointer leaves the window: the drag is over, and coming back
    // still pressed moves nothing.
    const POINT rest = ScreenCentre();
    const POINT press = {rest.x - 2, rest.y};
    MouseAt(WM_LBUTTONDOWN, press);
    MouseAt(WM_MOUSEMOVE, {press.x + 2, press.y});  // arms the leave tracking
    EXPECT_TRUE(WaitFor([&] { return Window().left == before.left + 2; }));
    PointerTo({Window().right + 200, Window().bottom + 200});
    EXPECT_TRUE(WaitFor([&] { return dialog_->m_nPressX == 0; }));
    const RECT left = Window();
    PointerTo(rest);
    MouseAt(WM_MOUSEMOVE, {left.left + 150, left.top + 120});
    EXPECT_EQ(Window().left, left.left);
    EXPECT_EQ(Window().top, left.top);
    MouseAt(WM_LBUTTONUP, {left.left + 150, left.top + 120});
    EXPECT_FALSE(g_bUserCancelled);
}

TEST_F(ProgressDialogTest, OnlyAReleaseOverTheCrossCancels) {
    // A press on the cross released elsewhere: nothing.
    SendMessageA(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(547, 20));
    SendMessageA(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(300, 100));
    EXPECT_FALSE(g_bUserCancelled);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    // A press elsewhere released over the cross: cancelled, and the dialog hides.
    SendMessageA(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 100));
    SendMessageA(hwnd_, WM_LBUTTONUP, 0, MAKELPARAM(547, 20));
    EXPECT_TRUE(g_bUserCancelled);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(hwnd_); }));
    EXPECT_TRUE(IsWindow(hwnd_));
    // Ending the dialog posts it a WM_NULL, on which the shadow hides.
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(dialog_->m_wndShadow.m_hShadowWnd); }));
    // Notices still arrive while hidden.
    Notice(77, "仍在");
    EXPECT_STREQ(dialog_->m_strStatus, "仍在");
    EXPECT_EQ(thread_->GetMainWnd(), dialog_);
}

TEST_F(ProgressDialogTest, EscHidesWithoutCancelling) {
    PostMessageA(hwnd_, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindowVisible(hwnd_); }));
    EXPECT_FALSE(g_bUserCancelled);
    EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_F(ProgressDialogTest, WmQuitEndsTheThreadAndTakesDialogAndShadowAlong) {
    HWND shadow = dialog_->m_wndShadow.m_hShadowWnd;
    const DWORD id = thread_->m_nThreadID;
    PostThreadMessageA(id, WM_QUIT, 0, 0);
    ASSERT_EQ(WaitForSingleObject(thread_->m_hThread, 10000), DWORD(WAIT_OBJECT_0));
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_FALSE(IsWindow(shadow));
    EXPECT_EQ(thread_->m_pDialog, nullptr);
    EXPECT_EQ(thread_->GetMainWnd(), nullptr);
    EXPECT_EQ(CWndShadow::s_shadowByParent.count(hwnd_), 0u);
    delete thread_;
    thread_ = nullptr;
}

}  // namespace
