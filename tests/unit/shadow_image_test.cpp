// The shadow image: the dialog's numbers, the degenerate settings, outlines that are not
// rectangles, and writes that stay inside the image for any setting.
#include "shadow/shadow_image.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include <gtest/gtest.h>

namespace {

const uint32_t kGrey = 0x454545;  // RGB(69, 69, 69)

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    // (x, r) with r = 0 the top row; the buffer is bottom-up.
    uint32_t At(int x, int r) const { return pixels[size_t(height - 1 - r) * width + x]; }
    int Alpha(int x, int r) const { return int(At(x, r) >> 24); }
};

Image Compose(
    int w, int h, const ShadowParams& p,
    std::function<bool(int, int)> inside = [](int, int) { return true; }) {
    Image image;
    image.width = w + 2 * p.spread;
    image.height = h + 2 * p.spread;
    image.pixels.assign(size_t(image.width) * image.height, 0);
    ComposeShadowBitmap(image.pixels.data(), w, h, inside, p);
    return image;
}

const ShadowParams kDialog = {4, 5, 150, 0, 0, kGrey};

TEST(ShadowImageTest, DialogShadowHasItsHoleAndFringe) {
    const Image image = Compose(570, 184, kDialog);
    ASSERT_EQ(image.width, 578);
    ASSERT_EQ(image.height, 192);
    for (int r = 4; r < 188; ++r) {
        for (int x = 4; x < 574; ++x)
            ASSERT_EQ(image.At(x, r), 0u) << x << "," << r;
    }
    // From the window outwards along every straight edge: 100, 75, 50, 24.
    const int fringe[] = {100, 75, 50, 24};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(image.Alpha(3 - i, 96), fringe[i]);     // left
        EXPECT_EQ(image.Alpha(574 + i, 96), fringe[i]);   // right
        EXPECT_EQ(image.Alpha(289, 3 - i), fringe[i]);    // top
        EXPECT_EQ(image.Alpha(289, 188 + i), fringe[i]);  // bottom
    }
}

TEST(ShadowImageTest, CornerBlockAndItsMirrorImages) {
    const Image image = Compose(570, 184, kDialog);
    const int corner[5][5] = {{0, 0, 0, 0, 0},
                              {0, 0, 24, 38, 46},
                              {0, 24, 43, 59, 70},
                              {0, 38, 59, 79, 94},
                              {0, 46, 70, 94, 0}};
    for (int r = 0; r < 5; ++r) {
        for (int x = 0; x < 5; ++x) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(r));
            EXPECT_EQ(image.Alpha(x, r), corner[r][x]);
            EXPECT_EQ(image.Alpha(577 - x, r), corner[r][x]);
            EXPECT_EQ(image.Alpha(x, 191 - r), corner[r][x]);
            EXPECT_EQ(image.Alpha(577 - x, 191 - r), corner[r][x]);
        }
    }
}

TEST(ShadowImageTest, KernelAlphasAndPremultipliedBytes) {
    // A 1 x 1 parent with spread 5 and softness 5 (K = 5, D = 0, no erosion) is stamped once,
    // at its own pixel: the image around it is the kernel.
    const ShadowParams p = {5, 5, 150, 0, 0, kGrey};
    Image image = Compose(1, 1, p);
    ASSERT_EQ(image.width, 11);
    const struct {
        int i, j, alpha;
    } rows[] = {{1, 0, 125}, {1, 1, 114}, {2, 0, 100}, {2, 1, 94}, {2, 2, 79},
                {3, 0, 75},  {4, 0, 50},  {3, 3, 43},  {5, 0, 24}, {4, 4, 0}};
    for (const auto& row : rows)
        EXPECT_EQ(image.Alpha(5 + row.i, 5 + row.j), row.alpha) << row.i << "," << row.j;
    EXPECT_EQ(image.At(5, 5), 0u);  // the parent's own pixel is the hole
    // Premultiplied bytes: each channel times alpha / 255, rounded down.
    EXPECT_EQ(PremultiplyShadowColour(kGrey, 150), 0x96282828u);     // 40 = 69 * 150 / 255
    EXPECT_EQ(PremultiplyShadowColour(kGrey, 100), 0x641B1B1Bu);     // 27
    EXPECT_EQ(PremultiplyShadowColour(kGrey, 24), 0x18060606u);      // 6
    EXPECT_EQ(PremultiplyShadowColour(0x0000FF, 255), 0xFFFF0000u);  // red in the low byte
    const Image dialog = Compose(570, 184, kDialog);
    EXPECT_EQ(dialog.At(3, 96), 0x641B1B1Bu);
    EXPECT_EQ(dialog.At(0, 96), 0x18060606u);
}

TEST(ShadowImageTest, OpacityZeroIsInvisibleAndSpreadZeroIsAllHole) {
    ShadowParams clear = kDialog;
    clear.opacity = 0;
    for (uint32_t v : Compose(570, 184, clear).pixels)
        ASSERT_EQ(v, 0u);
    const ShadowParams flat = {0, 0, 150, 0, 0, kGrey};
    const Image image = Compose(40, 20, flat);
    EXPECT_EQ(image.width, 40);
    EXPECT_EQ(image.height, 20);
    for (uint32_t v : image.pixels)
        ASSERT_EQ(v, 0u);
    // Shifted right by 3, the hole moves left by 3 in the image (which then stands 3 pixels
    // right of the parent) and the core shows in the last 3 columns.
    ShadowParams shifted = flat;
    shifted.offsetX = 3;
    const Image moved = Compose(40, 20, shifted);
    EXPECT_EQ(moved.At(36, 10), 0u);
    EXPECT_EQ(moved.At(37, 10), PremultiplyShadowColour(kGrey, 150));
    EXPECT_EQ(moved.At(39, 19), PremultiplyShadowColour(kGrey, 150));
}

TEST(ShadowImageTest, RowOutsideTheRegionCutsNoHole) {
    // Row 10 of the parent has no pixel inside its outline.
    // The rows beside it are holes; the row itself gets the fringe of both edges.
    const Image image = Compose(570, 184, kDialog, [](int, int y) { return y != 10; });
    EXPECT_EQ(image.At(289, 4 + 9), 0u);
    EXPECT_EQ(image.At(289, 4 + 11), 0u);
    EXPECT_GT(image.Alpha(289, 4 + 10), 0);
    const Image whole = Compose(570, 184, kDialog);
    EXPECT_EQ(whole.At(289, 4 + 10), 0u);
}

TEST(ShadowImageTest, NonRectangularOutlineFollowsItsRows) {
    // A triangle: row y holds columns 0 ... y. The hole follows each row's right end.
    const int w = 60, h = 60;
    const Image image = Compose(w, h, kDialog, [](int x, int y) { return x <= y; });
    for (int y = 10; y < 50; y += 7) {
        SCOPED_TRACE(y);
        EXPECT_EQ(image.At(4 + y, 4 + y), 0u);         // the last inside pixel: hole
        EXPECT_EQ(image.Alpha(4 + y + 1, 4 + y), 94);  // the diagonal's fringe
        EXPECT_EQ(image.Alpha(4 + y + 2, 4 + y), 79);
        EXPECT_EQ(image.At(4 + y + 6, 4 + y), 0u);  // beyond the softness: nothing
    }
}

TEST(ShadowImageTest, WritesStayInsideTheImageForAnySetting) {
    // The buffer is exactly the image: the sanitizers catch any write beside it.
    int cases = 0;
    for (int spread : {-8, -3, 0, 1, 4, 9, 20}) {
        for (int softness : {0, 1, 5, 12, 30}) {
            for (int offset : {-20, -4, 0, 3, 25}) {
                for (const auto& size : {std::pair<int, int>{1, 1}, {3, 17}, {40, 9}}) {
                    const int w = size.first, h = size.second;
                    if (w + 2 * spread <= 0 || h + 2 * spread <= 0)
                        continue;
                    const ShadowParams p = {int8_t(spread), uint8_t(softness), 200,
                                            int8_t(offset), int8_t(-offset),   kGrey};
                    std::vector<uint32_t> exact(size_t(w + 2 * spread) * (h + 2 * spread), 0);
                    ComposeShadowBitmap(
                        exact.data(), w, h, [](int, int) { return true; }, p);
                    ++cases;
                }
            }
        }
    }
    EXPECT_GT(cases, 300);
    // A spread that leaves no image writes nothing.
    uint32_t guard = 0xDEADBEEF;
    ComposeShadowBitmap(&guard, 4, 4, [](int, int) { return true; }, {-2, 5, 150, 0, 0, kGrey});
    EXPECT_EQ(guard, 0xDEADBEEFu);
}

}  // namespace
