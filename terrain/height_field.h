#pragma once
#include <cstdint>
#include <memory>

#include "terrain/point3.h"

using HeightSample = uint16_t;

// Packed grid vertex name: x + (y << (n + 1)).
using VertexId = int32_t;

// Largest accepted grid exponent: VertexId coordinates decode as signed 16-bit values.
constexpr int kMaxGridExponent = 14;

// The terrain grid of (N+1)^2 samples over the unit square (N = 2^n): sample (x, y) lies at
// (x / N, y / N) with height sample x verticalScale / 65535. Built once and never changed.
class HeightField {
 public:
  // Takes the (2^n + 1)^2 samples, row 0 first.
  HeightField(std::unique_ptr<HeightSample[]> samples, float verticalScale, int n);

  const HeightSample* Samples() const { return samples_.get(); }

  VertexId Id(int x, int y) const { return x + (y << (n + 1)); }
  int GridX(VertexId id) const { return static_cast<int16_t>(id & xMask); }
  int GridY(VertexId id) const { return static_cast<int16_t>(id >> (n + 1)); }
  HeightSample Sample(int x, int y) const { return samples_[x + y * (N + 1)]; }
  float Height(int x, int y) const { return Sample(x, y) * heightFactor; }
  Point3 GridPosition(int x, int y) const {
    return {static_cast<float>(x) * spacing, static_cast<float>(y) * spacing, Height(x, y)};
  }
  Point3 WorldPosition(VertexId id) const { return GridPosition(GridX(id), GridY(id)); }

  // Bilinear height at world point (x, y) of the unit square.
  float SampleHeight(float x, float y) const;

  int n;
  int N;
  int xMask;            // 2^(n+1) - 1: the x part of a VertexId
  float verticalScale;  // world height of the sample 65535, and the top of every bounding prism
  float heightFactor;   // world height per sample unit
  float spacing;        // 1 / N

 private:
  std::unique_ptr<HeightSample[]> samples_;
};

// Split vertex of the bintree hypotenuse from a to b whose finest triangles have legs of 2^level
// grid steps: the packed midpoint, or -1 when a-b is the diagonal of one 2^level x 2^level cell.
// The mean of the packed ids is the packed midpoint at every coarser level.
inline VertexId HypotenuseSplitVertex(VertexId a, VertexId b, int n, int level = 0) {
  const int step = 1 << level;
  const int diagonal = step + (step << (n + 1));
  const int span = a > b ? a - b : b - a;
  if (span == diagonal || span == diagonal - 2 * step) return -1;
  return (a + b) >> 1;
}
