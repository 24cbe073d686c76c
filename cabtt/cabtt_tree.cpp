#include "cabtt/cabtt_tree.h"

#include <cmath>

float CabttPolicy::Advance(const Point3& eye) {
  const double dx = static_cast<double>(eye.x) - lastEye_.x;
  const double dy = static_cast<double>(eye.y) - lastEye_.y;
  const double dz = static_cast<double>(eye.z) - lastEye_.z;
  travel_ = static_cast<float>(travel_ + std::sqrt(dx * dx + dy * dy + dz * dz));
  lastEye_ = eye;
  // Keeps the clock where floats still resolve small distances.
  if (!(travel_ > kRebaseThreshold)) return 0.0f;
  travel_ -= kRebaseAmount;
  return kRebaseAmount;
}

double CabttPolicy::DistanceBeyondError(VertexId v) const {
  const Point3 p = field_.WorldPosition(v);
  const double dx = static_cast<double>(p.x) - lastEye_.x;
  const double dy = static_cast<double>(p.y) - lastEye_.y;
  const double dz = static_cast<double>(p.z) - lastEye_.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz) - builder_->GridError(v);
}

void CabttPolicy::RetireLeaf(CabttNode& leaf) {
  if (leaf.leaf.block == kNoBlock) return;
  if (cache_ != nullptr) cache_->ReleaseBlock(leaf.leaf.block);
  leaf.leaf.block = kNoBlock;
}
