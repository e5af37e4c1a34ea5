#include "shadow/shadow_image.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A half-open run of columns; empty when left >= right.
struct Span {
    int left, right;
};

}  // namespace

uint32_t PremultiplyShadowColour(uint32_t color, uint8_t alpha) {
    const uint32_t r = (color & 0xFF) * alpha / 255;
    const uint32_t g = ((color >> 8) & 0xFF) * alpha / 255;
    const uint32_t b = ((color >> 16) & 0xFF) * alpha / 255;
    return uint32_t(alpha) << 24 | r << 16 | g << 8 | b;
}

void ComposeShadowBitmap(uint32_t* pixels, int w, int h,
                         const std::function<bool(int x, int y)>& insideParent,
                         const ShadowParams& params) {
    const int s = params.spread;
    const int q = params.softness;
    const int o = params.opacity;
    const int dx = params.offsetX;
    const int dy = params.offsetY;
    const int imageWidth = w + 2 * s;
    const int imageHeight = h + 2 * s;
    if (w <= 0 || h <= 0 || imageWidth <= 0 || imageHeight <= 0)
        return;
    const Span empty = {w, 0};

    // The parent's rows as spans between their first and last inside pixels.
    std::vector<Span> outline(h, empty);
    for (int y = 0; y < h; ++y) {
        int xl = 0;
        while (xl < w && !insideParent(xl, y))
            ++xl;
        if (xl == w)
            continue;
        int xr = w - 1;
        while (xr > xl && !insideParent(xr, y))
            --xr;
        outline[y] = {xl, xr + 1};
    }

    // The spans in image columns, with an empty guard entry at each end.
    const int n = std::max(imageHeight, h);
    std::vector<Span> table(n + 2, empty);
    for (int y = 0; y < h; ++y) {
        const Span& row = outline[y];
        table[1 + std::max(s, 0) + y] =
            row.left < row.right ? Span{row.left + s, row.right + s} : empty;
    }
    // Each pass shrinks the shape by one pixel on every side.
    for (int pass = 0; pass < q - s; ++pass) {
        std::vector<Span> eroded(n + 2, empty);
        for (int t = 1; t <= n; ++t) {
            eroded[t].left = std::max({table[t - 1].left, table[t].left, table[t + 1].left}) + 1;
            eroded[t].right =
                std::min({table[t - 1].right, table[t].right, table[t + 1].right}) - 1;
        }
        table.swap(eroded);
    }
    const int first = 1 + std::max(0, -s);
    auto span = [&](int r) -> const Span& { return table[first + r]; };

    // The kernel: full opacity within D of its centre, fading to nothing at K.
    const int k = std::max(s, q);
    const int d0 = std::max(0, s - q);
    const int side = 2 * k + 1;
    std::vector<uint32_t> kernel(static_cast<size_t>(side) * side, 0);
    for (int j = -k; j <= k; ++j) {
        for (int i = -k; i <= k; ++i) {
            const double d = std::sqrt(double(i * i + j * j));
            uint32_t value = 0;
            if (d < d0) {
                value = PremultiplyShadowColour(params.color, uint8_t(o));
            } else if (d <= k) {
                const double a = (1.0 - (d - d0) / double(q + 1)) * o;
                value = PremultiplyShadowColour(params.color, uint8_t(static_cast<int>(a)));
            }
            kernel[static_cast<size_t>(j + k) * side + (i + k)] = value;
        }
    }

    auto pixel = [&](int x, int r) -> uint32_t& {
        return pixels[static_cast<size_t>(imageHeight - 1 - r) * imageWidth + x];
    };
    auto stamp = [&](int x, int r) {
        for (int j = -k; j <= k; ++j) {
            for (int i = -k; i <= k; ++i) {
                uint32_t& target = pixel(x + i, r + j);
                target = std::max(target, kernel[static_cast<size_t>(j + k) * side + (i + k)]);
            }
        }
    };

    // Stamp the kernel along the ends of each span and wherever a neighbour row leaves it
    // uncovered.
    for (int r = k; r < imageHeight - k; ++r) {
        const Span& here = span(r);
        if (here.left >= here.right)
            continue;
        const Span& above = span(r - 1);
        const Span& below = span(r + 1);
        int x = here.left;
        for (; x < std::min(here.right, std::max(above.left, below.left) + 1); ++x)
            stamp(x, r);
        for (x = std::max(x, std::min(above.right, below.right) - 1); x < here.right; ++x)
            stamp(x, r);
    }

    // The core in full opacity, with the hole where the parent stands.
    const uint32_t solid = PremultiplyShadowColour(params.color, uint8_t(o));
    const int y0 = std::min(k, std::max(0, s - dy));
    const int yEnd = std::max(imageHeight - k, std::min(h + s - dy, imageHeight));
    for (int r = y0; r < yEnd; ++r) {
        const Span& here = span(r);
        const int yp = r - (s - dy);
        if (yp < 0 || yp >= h) {
            for (int x = here.left; x < here.right; ++x)
                pixel(x, r) = solid;
            continue;
        }
        const int a = outline[yp].left + s - dx;
        const int b = outline[yp].right + s - dx;
        for (int x = here.left; x < std::min(here.right, a); ++x)
            pixel(x, r) = solid;
        for (int x = std::max(0, a); x < std::min(imageWidth, b); ++x)
            pixel(x, r) = 0;
        for (int x = std::max(here.left, b); x < here.right; ++x)
            pixel(x, r) = solid;
    }
}
