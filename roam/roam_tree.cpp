#include "roam/roam_tree.h"

#include <cmath>

float RoamPolicy::Advance(const Point3& eye) {
  const float dx = eye.x - previousEye_.x;
  const float dy = eye.y - previousEye_.y;
  const float dz = eye.z - previousEye_.z;
  travel_ += std::sqrt(dx * dx + dy * dy + dz * dz);
  previousEye_ = eye;
  if (travel_ <= kTravelRebase) return 0.0f;
  travel_ -= kTravelRebase;
  return kTravelRebase;
}

float RoamPolicy::DistanceBeyondError(VertexId v) const {
  const int x = field_.GridX(v);
  const int y = field_.GridY(v);
  const Point3 p = field_.GridPosition(x, y);
  const float dx = previousEye_.x - p.x;
  const float dy = previousEye_.y - p.y;
  const float dz = previousEye_.z - p.z;
  const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
  return distance - metric_.At(x, y);
}
