// The progress bar as the dialog sets it up, on a real child window, read back from screen.
#include <algorithm>
#include <cstdlib>

#include <gtest/gtest.h>

#include "ui/draw_fun.h"
#include "tests/win/near_colour.h"
#include "ui/progress_ctrl.h"

namespace {

const char kParentClass[] = "KestoBarParent";

class CountingBar : public CKestoProgressCtrl {
public:
    int m_nPaints = 0;
    void OnPaint() {
        ++m_nPaints;
        CKestoProgressCtrl::OnPaint();
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CountingBar, CKestoProgressCtrl)
ON_WM_PAINT()
END_MESSAGE_MAP()

class ProgressCtrlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartup(&token_, &input_, nullptr);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kParentClass;
        RegisterClassA(&wc);
        KESTODRAWFUN::LoadPngResource(&strip_);  // lives as long as the process, as in the program
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(token_); }

    void SetUp() override {
        ASSERT_TRUE(parent_.CreateEx(0, kParentClass, "bar parent",
                                     WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100, 600, 60,
                                     nullptr, nullptr));
    }

    // The dialog's set-up: range 1 ... 100, the strip, no text, at 495 x 2.
    void SetUpLikeTheDialog(int width = 495, int height = 2) {
        const RECT empty = {0, 0, 0, 0};
        ASSERT_TRUE(bar_.Create("", WS_CHILD, empty, &parent_, 0));
        bar_.SetRange(1, 100);
        bar_.SetBarStyle(2);
        bar_.m_pImage = strip_;
        bar_.SetShowText(FALSE);
        bar_.SetProgress(0);
        bar_.MoveWindow(37, 14, width, height, FALSE);
        bar_.ShowWindow(SW_SHOW);
        bar_.UpdateWindow();
    }

    COLORREF Pixel(int x, int y) {
        HDC dc = GetDC(bar_.m_hWnd);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(bar_.m_hWnd, dc);
        return c;
    }

    static Gdiplus::GdiplusStartupInput input_;
    static ULONG_PTR token_;
    static Gdiplus::Image* strip_;
    CWnd parent_;
    CountingBar bar_;
};

Gdiplus::GdiplusStartupInput ProgressCtrlTest::input_;
ULONG_PTR ProgressCtrlTest::token_ = 0;
Gdiplus::Image* ProgressCtrlTest::strip_ = nullptr;

const COLORREF kTrack = RGB(34, 38, 44);

// The strip's colour at a column: the ramp the resource was drawn with.
COLORREF StripColour(int x) {
    const struct {
        int x, r, g, b;
    } stops[] = {{0, 3, 170, 201}, {300, 41, 137, 89}, {400, 66, 136, 56}, {799, 233, 220, 6}};
    for (int i = 0; i < 3; ++i) {
        if (x <= stops[i + 1].x) {
            const double t = double(x - stops[i].x) / (stops[i + 1].x - stops[i].x);
            auto channel = [&](int a, int b) { return int(a + (b - a) * t + 0.5); };
            return RGB(channel(stops[i].r, stops[i + 1].r), channel(stops[i].g, stops[i + 1].g),
                       channel(stops[i].b, stops[i + 1].b));
        }
    }
    return 0;
}

TEST_F(ProgressCtrlTest, SetProgressBeforeTheWindowStoresNothing) {
    CKestoProgressCtrl bar;
    EXPECT_EQ(bar.SetProgress(40), -1);
    EXPECT_EQ(bar.m_nPos, 0);
    EXPECT_EQ(bar.m_nLastFill, -1);
}

TEST_F(ProgressCtrlTest, FillWidthFollowsThePercentAndTheTrackStaysRight) {
    SetUpLikeTheDialog();
    const struct {
        int percent, fill;
    } rows[] = {{0, 0}, {1, 0}, {2, 5}, {50, 245}, {99, 490}, {100, 495}};
    int previous = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.percent);
        EXPECT_EQ(bar_.SetProgress(row.percent), previous);  // the previous position
        previous = row.percent;
        for (int y = 0; y < 2; ++y) {
            if (row.fill > 0) {
                EXPECT_NE(Pixel(row.fill - 1, y), kTrack);
                // The fill's right end is the strip's right end.
                EXPECT_TRUE(Near(Pixel(row.fill - 1, y), StripColour(799)));
            }
            if (row.fill < 495) {
                EXPECT_EQ(Pixel(row.fill, y), kTrack);
            }
            EXPECT_EQ(Pixel(494, y) == kTrack, row.fill < 495);
        }
    }
}

TEST_F(ProgressCtrlTest, AFillOf245ShowsStripColumns555To799) {
    SetUpLikeTheDialog();
    bar_.SetProgress(50);
    for (int x : {0, 40, 100, 200, 244}) {
        SCOPED_TRACE(x);
        EXPECT_TRUE(Near(Pixel(x, 0), StripColour(555 + x)))
            << std::hex << Pixel(x, 0) << " " << StripColour(555 + x);
    }
    for (int x : {245, 300, 494})
        EXPECT_EQ(Pixel(x, 1), kTrack);
}

TEST_F(ProgressCtrlTest, RepaintsOnlyWhenTheFilledWidthChanges) {
    SetUpLikeTheDialog();
    const int start = bar_.m_nPaints;
    bar_.SetProgress(30);
    EXPECT_EQ(bar_.m_nPaints, start + 1);  // painted before SetProgress returned
    bar_.SetProgress(30);
    EXPECT_EQ(bar_.m_nPaints, start + 1);
    bar_.MoveWindow(37, 14, 495, 3, FALSE);  // a resize forgets the last fill
    EXPECT_EQ(bar_.m_nLastFill, -1);
    bar_.SetProgress(30);
    EXPECT_EQ(bar_.m_nPaints, start + 2);
}

TEST_F(ProgressCtrlTest, BackBufferIsKeptWhenOnlyTheHeightChanges) {
    SetUpLikeTheDialog();
    const HBITMAP buffer = bar_.m_bmpBuffer;
    ASSERT_NE(buffer, nullptr);
    bar_.MoveWindow(37, 14, 495, 8, FALSE);
    EXPECT_EQ(static_cast<HBITMAP>(bar_.m_bmpBuffer), buffer);
    bar_.MoveWindow(37, 14, 300, 8, FALSE);
    BITMAP info;
    ASSERT_TRUE(bar_.m_bmpBuffer.GetBitmap(&info));
    EXPECT_EQ(info.bmWidth, 300);
    EXPECT_EQ(info.bmHeight, 8);
}

TEST_F(ProgressCtrlTest, StatusTextInvalidatesOnlyOnAChange) {
    SetUpLikeTheDialog(200, 20);
    RECT update;
    bar_.SetStatusText("");  // a null or empty text while the text is empty: nothing
    SendMessageA(bar_.m_hWnd, WM_SETTEXT, 0, 0);
    EXPECT_FALSE(GetUpdateRect(bar_.m_hWnd, &update, FALSE));
    bar_.SetStatusText("正在下载");
    EXPECT_TRUE(GetUpdateRect(bar_.m_hWnd, &update, FALSE));
    bar_.UpdateWindow();
    bar_.SetStatusText("正在下载");
    EXPECT_FALSE(GetUpdateRect(bar_.m_hWnd, &update, FALSE));
    char text[8] = {};
    EXPECT_EQ(SendMessageA(bar_.m_hWnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text)),
              7);  // cut to fit, and terminated
    EXPECT_STREQ(text, "正在下\xd4");
    char whole[32] = {};
    EXPECT_EQ(GetWindowTextA(bar_.m_hWnd, whole, sizeof(whole)), 8);
    EXPECT_STREQ(whole, "正在下载");
}

TEST_F(ProgressCtrlTest, PercentTextIsTruncatedAfterADoubleDivision) {
    CKestoProgressCtrl bar;
    bar.SetRange(0, 100);
    const struct {
        int pos;
        const char* text;
    } rows[] = {{0, "0%"}, {29, "28%"}, {50, "50%"}, {57, "56%"}, {58, "57%"}, {100, "100%"}};
    for (const auto& row : rows) {
        bar.m_nPos = row.pos;
        EXPECT_STREQ(bar.BarText(true), row.text) << row.pos;
    }
    bar.m_strText = "状态";
    EXPECT_STREQ(bar.BarText(true), "状态");  // style 0 shows the status text instead
    EXPECT_STREQ(bar.BarText(false), "100%");
}

TEST_F(ProgressCtrlTest, FramedBarSplitsItsTextColourAtTheFillEdge) {
    const RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(bar_.Create("", WS_CHILD, empty, &parent_, 0));
    bar_.SetRange(0, 100);
    bar_.SetBarStyle(0);
    bar_.m_clrFillTop = bar_.m_clrFillBottom = RGB(0, 0, 0);
    bar_.m_clrRestTop = bar_.m_clrRestBottom = RGB(255, 255, 255);
    bar_.m_clrTextOnFill = RGB(255, 0, 0);
    bar_.m_clrTextOnRest = RGB(0, 0, 255);
    bar_.MoveWindow(10, 10, 120, 30, FALSE);
    bar_.ShowWindow(SW_SHOW);
    bar_.SetShowText(TRUE);
    bar_.SetProgress(50);  // "50%" centred, cut at x = 60
    bar_.UpdateWindow();
    // Anti-aliased glyphs blend with what is under them: look for a channel that dominates.
    auto reddish = [](COLORREF c) {
        return GetRValue(c) - GetBValue(c) > 80 && GetRValue(c) - GetGValue(c) > 80;
    };
    auto bluish = [](COLORREF c) {
        return GetBValue(c) - GetRValue(c) > 80 && GetBValue(c) - GetGValue(c) > 80;
    };
    bool redLeft = false, blueRight = false, blueLeft = false, redRight = false;
    for (int y = 2; y < 27; ++y) {
        for (int x = 2; x < 119; ++x) {
            const COLORREF c = Pixel(x, y);
            (x < 59 ? redLeft : redRight) |= reddish(c);
            (x < 60 ? blueLeft : blueRight) |= bluish(c);
        }
    }
    EXPECT_TRUE(redLeft);
    EXPECT_TRUE(blueRight);
    EXPECT_FALSE(blueLeft);
    EXPECT_FALSE(redRight);
    EXPECT_EQ(Pixel(0, 29), RGB(255, 255, 255));  // the white line along the bottom
    EXPECT_EQ(Pixel(0, 5), RGB(221, 221, 221));   // the frame
}

TEST_F(ProgressCtrlTest, TiledBarDrawsOneTileAtZeroAndSetsItsRegionOnce) {
    const RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(bar_.Create("", WS_CHILD, empty, &parent_, 0));
    bar_.SetRange(0, 100);
    bar_.SetBarStyle(1);
    HDC screen = GetDC(nullptr);
    CDC dc;
    dc.CreateCompatibleDC(screen);
    CBitmap tile;
    tile.CreateCompatibleBitmap(screen, 8, 4);
    ReleaseDC(nullptr, screen);
    {
        CSelectObject select(dc, tile);
        dc.FillSolidRect(0, 0, 8, 4, RGB(200, 0, 0));
    }
    bar_.m_hTileBitmap = tile;
    bar_.MoveWindow(10, 10, 100, 10, FALSE);
    bar_.ShowWindow(SW_SHOW);
    bar_.SetProgress(0);
    bar_.UpdateWindow();
    EXPECT_EQ(Pixel(3, 2), RGB(200, 0, 0));
    EXPECT_EQ(Pixel(7, 4), RGB(200, 0, 0));
    EXPECT_NE(Pixel(8, 2), RGB(200, 0, 0));  // the second tile is not drawn
    EXPECT_NE(Pixel(3, 0), RGB(200, 0, 0));  // tiles start at row 1
    RECT update;
    EXPECT_FALSE(GetUpdateRect(bar_.m_hWnd, &update, FALSE));  // the region did not loop
    const int paints = bar_.m_nPaints;
    bar_.Invalidate(FALSE);
    bar_.UpdateWindow();
    EXPECT_EQ(bar_.m_nPaints, paints + 1);
    bar_.SetProgress(17);  // F = 17: tiles 0, 1 and 2, up to x = 24
    EXPECT_EQ(Pixel(20, 2), RGB(200, 0, 0));
    EXPECT_NE(Pixel(25, 2), RGB(200, 0, 0));
    bar_.m_hTileBitmap = nullptr;
}

}  // namespace
