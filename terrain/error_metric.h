#pragma once
#include <vector>

#include "terrain/height_field.h"

// View-independent error of every grid vertex that splits a bintree triangle's hypotenuse: over
// the hypotenuse midpoints Q of the triangle and all its descendants, the largest of
// weight x |vertical deviation of Q from the triangle's plane| + |Q - midpoint|, the larger of the
// two triangles that share the midpoint. Never negative; the four corners keep 0.
struct ErrorMetric {
  std::vector<float> values;  // (N+1)^2, index x + y * (N+1), laid out like the samples
  float weight = 0.0f;
  int N = 0;

  float At(int x, int y) const { return values[x + y * (N + 1)]; }
};

// Spread over `threads` threads (0: all the machine has); the values are the same whatever the
// number of threads.
ErrorMetric ComputeErrorMetric(const HeightField& field, float weight, int threads = 0);
