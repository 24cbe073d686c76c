#include "fake_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "aggregate/block_output.h"

namespace {

uint32_t Mix(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

struct GridPoint {
  int x;
  int y;
};

}  // namespace

FakeAggregationBuilder::FakeAggregationBuilder(int level, bool adaptive, const Terrain& terrain, FakeErrors errors,
                                               uint32_t seed, float scale)
    : AggregationBuilder(level, terrain.field, terrain.metric),
      adaptive_(adaptive),
      errors_(errors),
      seed_(seed),
      scale_(scale) {
  if (!BuildErrorGrid()) std::abort();
}

float FakeAggregationBuilder::Noise(VertexId v) const {
  return static_cast<float>(Mix(static_cast<uint32_t>(v) * 2654435761U + seed_) >> 8) / static_cast<float>(1 << 24);
}

double FakeAggregationBuilder::Distance(VertexId a, VertexId b) const {
  const Point3 p = field.WorldPosition(a);
  const Point3 q = field.WorldPosition(b);
  const double dx = p.x - q.x, dy = p.y - q.y, dz = p.z - q.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float FakeAggregationBuilder::AggregateError(VertexId left, VertexId right, VertexId apex) {
  if (errors_ == FakeErrors::kNested) return NestedError(left, right, apex);
  return static_cast<float>(3.0 * scale_ * Distance(left, right) * Noise((left + right) >> 1));
}

// The error of a split vertex covers, over both triangles of its diamond, each child's error plus
// more than the distance to the child's split vertex.
float FakeAggregationBuilder::NestedError(VertexId left, VertexId right, VertexId apex) {
  const auto at = [this](VertexId v) { return GridPoint{field.GridX(v), field.GridY(v)}; };
  const auto id = [this](GridPoint p) { return field.Id(p.x, p.y); };
  const GridPoint p = at(left), q = at(right), a = at(apex);
  const GridPoint m = {(p.x + q.x) / 2, (p.y + q.y) / 2};
  const VertexId mid = id(m);
  if (auto found = nested_.find(mid); found != nested_.end()) return found->second;
  const int N = field.N;
  const int step = 1 << level;
  double covered = 0.0;
  const GridPoint otherApex = {2 * m.x - a.x, 2 * m.y - a.y};
  for (GridPoint x : {a, otherApex}) {
    if (x.x < 0 || x.y < 0 || x.x > N || x.y > N) continue;  // on the border: no second triangle
    const GridPoint hypotenuses[2][2] = {{x, p}, {q, x}};
    for (const auto& h : hypotenuses) {
      const bool finest = std::abs(h[0].x - h[1].x) == step && std::abs(h[0].y - h[1].y) == step;
      if (finest || std::abs(h[0].x - h[1].x) + std::abs(h[0].y - h[1].y) < 2 * step) continue;
      const VertexId childMid = id({(h[0].x + h[1].x) / 2, (h[0].y + h[1].y) / 2});
      const double child = NestedError(id(h[0]), id(h[1]), mid);
      covered = std::max(covered, child + 1.5 * Distance(mid, childMid));
    }
  }
  const float error = static_cast<float>(covered + 0.5 * scale_ * Distance(left, right) * Noise(mid));
  nested_[mid] = error;
  return error;
}

int FakeAggregationBuilder::GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) {
  ++generateCalls;
  const int side = 1 << level;
  const int maxVertices = (side + 1) * (side + 2) / 2;
  pendingTriangles_ = subTriangleCapacity > 1 ? 1 + static_cast<int>(Mix(static_cast<uint32_t>(left ^ (right << 7))) %
                                                                     static_cast<uint32_t>(subTriangleCapacity - 1))
                                              : 1;
  pendingVertices_ = std::min(pendingTriangles_ + 2, maxVertices);
  const VertexId corners[3] = {left, right, apex};
  for (int i = 0; i < pendingVertices_; ++i) *out.vertexCursor++ = field.WorldPosition(corners[i % 3]);
  return pendingTriangles_;
}

void FakeAggregationBuilder::GenerateIndices(BlockOutput& out) {
  for (int i = 0; i < pendingTriangles_; ++i)
    for (int j = 0; j < 3; ++j) *out.indexCursor++ = static_cast<uint16_t>((i + j) % pendingVertices_);
}

void FakeAggregationBuilder::ClearErrors() { std::fill(errorGrid.get(), errorGrid.get() + GridEntries(), 0.0f); }
