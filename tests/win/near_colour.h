// Colours compared channel by channel within a tolerance: scaled images and anti-aliased
// glyphs land a step or two from the colour they stand for.
#ifndef KESTO_TESTS_WIN_NEAR_COLOUR_H
#define KESTO_TESTS_WIN_NEAR_COLOUR_H

#include <windows.h>

#include <cstdlib>

inline bool Near(COLORREF a, COLORREF b, int tolerance = 3) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance &&
           std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

#endif  // KESTO_TESTS_WIN_NEAR_COLOUR_H
