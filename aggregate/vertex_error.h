#pragma once
#include <cmath>

#include "terrain/point3.h"

// How much a grid vertex the tessellation leaves out adds to an aggregate triangle's error:
// its distance to the reference point (the triangle's split vertex) plus its own metric value,
// which already bounds the subtree below it.
inline float ErrorAround(const Point3& vertex, const Point3& reference, float metricValue) {
  const double dx = vertex.x - reference.x;
  const double dy = vertex.y - reference.y;
  const double dz = vertex.z - reference.z;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz) + metricValue);
}
