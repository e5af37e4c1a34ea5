// The drawing helpers on 32-bit memory DCs, read back pixel by pixel.
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "framework/afxwin.h"
#include "ui/draw_fun.h"

namespace {

// A memory DC over a 32-bit DIB, white, whose pixels the test reads directly.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_.CreateCompatibleDC(nullptr);
        bitmap_.Attach(CreateDIBSection(dc_, &info, DIB_RGB_COLORS,
                                        reinterpret_cast<void**>(&bits_), nullptr, 0));
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            bits_[i] = 0xFFFFFF;
    }
    ~Canvas() { SelectObject(dc_, old_); }
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const DWORD v = bits_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    int height() const { return height_; }

private:
    int width_, height_;
    CDC dc_;
    CBitmap bitmap_;
    DWORD* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// Runs the body with the given GradientFill entry point, then puts the real one back.
template <typename Body>
void WithGradientFill(KESTODRAWFUN::GradientFillFn fn, Body body) {
    const KESTODRAWFUN::GradientFillFn real = KESTODRAWFUN::m_pfnGradientFill;
    KESTODRAWFUN::m_pfnGradientFill = fn;
    body();
    KESTODRAWFUN::m_pfnGradientFill = real;
}

TEST(DrawFunTest, GradientFillIsLoadedWithThePrograms) {
    EXPECT_NE(KESTODRAWFUN::m_hMsimg32, nullptr);
    EXPECT_NE(KESTODRAWFUN::m_pfnGradientFill, nullptr);
}

TEST(DrawFunTest, FallbackRowsStepInSinglePrecisionAndStopShortOfTheBottom) {
    WithGradientFill(nullptr, [] {
        Canvas canvas(6, 6);
        const RECT rc = {1, 1, 5, 5};
        KESTODRAWFUN::FillGradientRect(canvas.dc(), &rc, RGB(0, 0, 0), RGB(100, 100, 100));
        const int rows[] = {0, 25, 50, 75};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(canvas.At(1, 1 + i), RGB(rows[i], rows[i], rows[i])) << i;
            EXPECT_EQ(canvas.At(4, 1 + i), RGB(rows[i], rows[i], rows[i])) << i;
        }
        EXPECT_EQ(canvas.At(5, 1), RGB(255, 255, 255));  // right edge excluded
        EXPECT_EQ(canvas.At(1, 5), RGB(255, 255, 255));
        // No height, or a bottom above the top: nothing drawn.
        for (const RECT& empty : {RECT{0, 3, 6, 3}, RECT{0, 4, 6, 2}}) {
            Canvas blank(6, 6);
            KESTODRAWFUN::FillGradientRect(blank.dc(), &empty, RGB(0, 0, 0), RGB(9, 9, 9));
            for (int y = 0; y < 6; ++y)
                EXPECT_EQ(blank.At(2, y), RGB(255, 255, 255));
        }
    });
}

TEST(DrawFunTest, EqualColoursFillSolidOnBothPaths) {
    for (bool fallback : {true, false}) {
        SCOPED_TRACE(fallback ? "fallback" : "GradientFill");
        WithGradientFill(fallback ? nullptr : KESTODRAWFUN::m_pfnGradientFill, [] {
            Canvas canvas(8, 8);
            const RECT rc = {0, 0, 8, 8};
            KESTODRAWFUN::FillGradientRect(canvas.dc(), &rc, RGB(34, 38, 44), RGB(34, 38, 44));
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x)
                    ASSERT_EQ(canvas.At(x, y), RGB(34, 38, 44)) << x << "," << y;
            }
        });
    }
}

std::vector<TRIVERTEX> g_vertices;
GRADIENT_RECT g_mesh;
ULONG g_mode;

BOOL WINAPI RecordGradient(HDC, PTRIVERTEX vertices, ULONG count, PVOID mesh, ULONG meshCount,
                           ULONG mode) {
    g_vertices.assign(vertices, vertices + count);
    EXPECT_EQ(meshCount, 1u);
    g_mesh = *static_cast<GRADIENT_RECT*>(mesh);
    g_mode = mode;
    return TRUE;
}

TEST(DrawFunTest, GradientFillGetsSixteenBitChannels) {
    WithGradientFill(&RecordGradient, [] {
        const RECT rc = {3, 4, 50, 60};
        KESTODRAWFUN::FillGradientRect(GetDC(nullptr), &rc, RGB(255, 0, 1), RGB(0, 128, 255));
    });
    ASSERT_EQ(g_vertices.size(), 2u);
    const TRIVERTEX& top = g_vertices[0];
    const TRIVERTEX& bottom = g_vertices[1];
    EXPECT_EQ(std::make_tuple(top.x, top.y, top.Red, top.Green, top.Blue, top.Alpha),
              std::make_tuple(3L, 4L, COLOR16(0xFF00), COLOR16(0), COLOR16(0x100), COLOR16(0)));
    EXPECT_EQ(std::make_tuple(bottom.x, bottom.y, bottom.Red, bottom.Green, bottom.Blue),
              std::make_tuple(50L, 60L, COLOR16(0), COLOR16(0x8000), COLOR16(0xFF00)));
    EXPECT_EQ(g_mesh.UpperLeft, 0u);
    EXPECT_EQ(g_mesh.LowerRight, 1u);
    EXPECT_EQ(g_mode, ULONG(GRADIENT_FILL_RECT_V));
}

struct DcState {
    int rop2, bkMode;
    COLORREF textColour;
    HGDIOBJ pen, font;
    bool operator==(const DcState& o) const {
        return rop2 == o.rop2 && bkMode == o.bkMode && textColour == o.textColour && pen == o.pen &&
               font == o.font;
    }
};

DcState StateOf(HDC dc) {
    return {GetROP2(dc), GetBkMode(dc), GetTextColor(dc), GetCurrentObject(dc, OBJ_PEN),
            GetCurrentObject(dc, OBJ_FONT)};
}

TEST(DrawFunTest, LineAndTextRestoreEveryAttributeTheyChange) {
    Canvas canvas(40, 20);
    const RECT all = {0, 0, 40, 20};
    FillRect(canvas.dc(), &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetROP2(canvas.dc(), R2_NOT);
    SetBkMode(canvas.dc(), OPAQUE);
    SetTextColor(canvas.dc(), RGB(1, 2, 3));
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
    SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
    const DcState before = StateOf(canvas.dc());

    KESTODRAWFUN::DrawWhiteLine(canvas.dc(), 2, 5, 10, 5);
    EXPECT_TRUE(StateOf(canvas.dc()) == before);
    EXPECT_EQ(canvas.At(2, 5), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(9, 5), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(10, 5), RGB(0, 0, 0));  // the end point is not drawn
    POINT position;
    GetCurrentPositionEx(canvas.dc(), &position);
    EXPECT_EQ(position.x, 10);

    ScopedFont font(CreateFontA(-14, 0, 0, 0, 500, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, "microsoft yahei"));
    RECT rc = {0, 8, 40, 20};
    KESTODRAWFUN::DrawColorText(canvas.dc(), "WWW", 3, &rc, DT_SINGLELINE | DT_VCENTER, font.Get(),
                                RGB(255, 0, 0));
    EXPECT_TRUE(StateOf(canvas.dc()) == before);
    bool red = false;
    for (int y = 8; y < 20; ++y) {
        for (int x = 0; x < 40; ++x)
            red = red || canvas.At(x, y) == RGB(255, 0, 0);
    }
    EXPECT_TRUE(red);
    EXPECT_EQ(canvas.At(39, 19), RGB(0, 0, 0));  // transparent: the background stays

    // Null DCs draw nothing and do not crash.
    KESTODRAWFUN::DrawWhiteLine(nullptr, 0, 0, 1, 1);
    KESTODRAWFUN::DrawColorText(nullptr, "x", 1, &rc, 0, font.Get(), 0);
    KESTODRAWFUN::DrawBitmapRect(nullptr, &rc, nullptr, nullptr);
}

TEST(DrawFunTest, BitmapRectCopiesOneToOne) {
    Canvas source(4, 4);
    SetPixel(source.dc(), 1, 2, RGB(9, 8, 7));
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(source.dc(), OBJ_BITMAP));
    // The bitmap must not stay selected elsewhere while it is copied from.
    HBITMAP copy = static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0));
    Canvas target(10, 10);
    const RECT dst = {5, 5, 8, 8};
    const POINT src = {1, 1};
    KESTODRAWFUN::DrawBitmapRect(target.dc(), &dst, copy, &src);
    EXPECT_EQ(target.At(5, 6), RGB(9, 8, 7));  // source (1, 2) lands at (5, 6)
    EXPECT_EQ(target.At(8, 8), RGB(255, 255, 255));
    const RECT outside = {0, 0, 1, 1};
    KESTODRAWFUN::DrawBitmapRect(target.dc(), &outside, reinterpret_cast<HBITMAP>(0x1), &src);
    EXPECT_EQ(target.At(0, 0), RGB(255, 255, 255));  // an unreadable bitmap: nothing
    DeleteObject(copy);
}

class PngTest : public ::testing::Test {
protected:
    void SetUp() override { Gdiplus::GdiplusStartup(&token_, &input_, nullptr); }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }
    Gdiplus::GdiplusStartupInput input_;
    ULONG_PTR token_ = 0;
};

TEST_F(PngTest, LoadsTheStripAndLeavesThePointerAloneWithoutIt) {
    Gdiplus::Image* image = nullptr;
    ASSERT_TRUE(KESTODRAWFUN::LoadPngResource(&image));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetWidth(), 800u);
    EXPECT_EQ(image->GetHeight(), 2u);
    EXPECT_EQ(image->GetLastStatus(), Gdiplus::Ok);
    delete image;

    AfxSetResourceHandle(GetModuleHandleA("kernel32.dll"));
    Gdiplus::Image* untouched = reinterpret_cast<Gdiplus::Image*>(0x1234);
    EXPECT_FALSE(KESTODRAWFUN::LoadPngResource(&untouched));
    EXPECT_EQ(untouched, reinterpret_cast<Gdiplus::Image*>(0x1234));
    AfxSetResourceHandle(nullptr);
}

}  // namespace
