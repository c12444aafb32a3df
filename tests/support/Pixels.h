// Comparing pictures pixel by pixel.
#pragma once

#include <cstdint>

#include "framework/Graphics.h"

namespace testsupport {

// Whether the w x h area at (ax, ay) of `a` holds the same pixels as the
// one at (bx, by) of `b`.
inline bool SamePixels(const fw::Ref<fw::Picture>& a, int32_t ax, int32_t ay, const fw::Ref<fw::Picture>& b,
                       int32_t bx, int32_t by, int32_t w, int32_t h) {
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (a->Graphics()->Pixel(ax + x, ay + y) != b->Graphics()->Pixel(bx + x, by + y)) return false;
  return true;
}

}  // namespace testsupport
