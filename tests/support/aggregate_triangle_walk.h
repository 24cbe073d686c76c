#pragma once
#include <cstdlib>
#include <vector>

#include "terrain/height_field.h"

// An aggregate triangle: hypotenuse corners and apex.
struct AggregateCorners {
  VertexId left;
  VertexId right;
  VertexId apex;
};

enum class RootOrientation {
  kCabtt,      // the drawing method's top triangles, counter-clockwise seen from above
  kErrorGrid,  // the error grid's two starting triangles: the same areas, mirrored
};

// The aggregate triangles of level L of the current height field, from the two base
// triangles down: every triangle CABTT can split and, with finest set, also the triangles of
// the finest aggregate size (legs of 2^L cells along the axes), which it never splits.
inline std::vector<AggregateCorners> AggregateTriangles(int level, bool finest,
                                                         RootOrientation roots = RootOrientation::kCabtt) {
  const HeightField& field = *CurrentHeightField;
  const int N = field.N;
  const int step = 1 << level;
  std::vector<AggregateCorners> result;
  std::vector<AggregateCorners> pending;
  if (roots == RootOrientation::kCabtt) {
    pending.push_back({field.Id(N, N), field.Id(0, 0), field.Id(N, 0)});
    pending.push_back({field.Id(0, 0), field.Id(N, N), field.Id(0, N)});
  } else {
    pending.push_back({field.Id(N, N), field.Id(0, 0), field.Id(0, N)});
    pending.push_back({field.Id(0, 0), field.Id(N, N), field.Id(N, 0)});
  }
  while (!pending.empty()) {
    const AggregateCorners t = pending.back();
    pending.pop_back();
    result.push_back(t);
    const int dx = std::abs(field.GridX(t.apex) - field.GridX(t.left));
    const int dy = std::abs(field.GridY(t.apex) - field.GridY(t.left));
    const bool finestSize = (dx == 0 || dy == 0) && dx + dy <= step;
    const bool lastSplittable = dx <= step && dy <= step;
    if (finestSize || (lastSplittable && !finest)) continue;
    const VertexId middle = (t.left + t.right) >> 1;
    pending.push_back({t.right, t.apex, middle});
    pending.push_back({t.apex, t.left, middle});
  }
  return result;
}
