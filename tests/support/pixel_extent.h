// The bounding box of the pixels of a bitmap that satisfy a test, for checks
// that a drawing lies in the rows and columns its description gives.
#pragma once

#include <algorithm>
#include <ostream>

#include "host.h"

namespace testing_support {

struct Extent {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  bool operator==(const Extent& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

inline std::ostream& operator<<(std::ostream& os, const Extent& e) {
  return os << "columns " << e.left << ".." << e.right << ", rows " << e.top << ".." << e.bottom;
}

// The extent of the pixels inside the window (x0, y0)-(x1, y1), corners
// included, for which pick(colour) holds.
template <typename Pick>
Extent ExtentOf(const bench::Bitmap& b, int x0, int y0, int x1, int y1, Pick pick) {
  Extent e;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (pick(b.At(x, y))) {
        e.left = std::min(e.left, x);
        e.right = std::max(e.right, x);
        e.top = std::min(e.top, y);
        e.bottom = std::max(e.bottom, y);
      }
  return e;
}

}  // namespace testing_support
