// shadow/shadow_image.h: the drop shadow's image, computed from the parent's outline alone
// (no window system). The image is the parent's size grown by the spread on every side:
// 32-bit premultiplied pixels (A << 24 | R' << 16 | G' << 8 | B'), rows bottom-up. Its fringe
// fades over the softness; the pixels under the parent are left transparent.
#ifndef KESTO_SHADOW_SHADOW_IMAGE_H
#define KESTO_SHADOW_SHADOW_IMAGE_H

#include <cstdint>
#include <functional>

struct ShadowParams {
    int8_t spread;
    uint8_t softness;
    uint8_t opacity;
    int8_t offsetX, offsetY;
    uint32_t color;  // COLORREF: red in the low byte
};

// pixels: (w + 2*spread) x (h + 2*spread) 32-bit premultiplied values, rows bottom-up, zeroed by
// the caller. insideParent(x, y) tells whether the parent's pixel (x, y) is inside its
// outline. Nothing is written when either side of the image is not positive.
void ComposeShadowBitmap(uint32_t* pixels, int parentWidth, int parentHeight,
                         const std::function<bool(int x, int y)>& insideParent,
                         const ShadowParams& params);

// The colour at alpha a, premultiplied: each channel times a / 255, rounded down.
uint32_t PremultiplyShadowColour(uint32_t color, uint8_t alpha);

#endif  // KESTO_SHADOW_SHADOW_IMAGE_H
