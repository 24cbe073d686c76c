#pragma once
#include <cstdint>

#include "terrain/point3.h"

using HeightSample = uint16_t;

// Packed grid vertex name: x + (y << (n + 1)).
using VertexId = int32_t;

// Largest accepted grid exponent: VertexId coordinates decode as signed 16-bit values.
constexpr int kMaxGridExponent = 14;

// The terrain grid of (N+1)^2 samples over the unit square.
class HeightField {
 public:
  // Takes ownership of samples (allocated with new[]).
  HeightField(HeightSample* samples, float verticalScale, int n);
  ~HeightField();
  HeightField(const HeightField&) = delete;
  HeightField& operator=(const HeightField&) = delete;

  HeightSample* samples;
  int n;
  int N;
  int xMask;
  float verticalScale;
  float heightFactor;
  float spacing;

  VertexId Id(int x, int y) const { return x + (y << (n + 1)); }
  int GridX(VertexId id) const { return static_cast<int16_t>(id & xMask); }
  int GridY(VertexId id) const { return static_cast<int16_t>(id >> (n + 1)); }
  HeightSample Sample(int x, int y) const { return samples[x + y * (N + 1)]; }
  float Height(int x, int y) const { return Sample(x, y) * heightFactor; }
  Point3 GridPosition(int x, int y) const {
    return {static_cast<float>(x) * spacing, static_cast<float>(y) * spacing, Height(x, y)};
  }
  Point3 WorldPosition(VertexId id) const { return GridPosition(GridX(id), GridY(id)); }
};

// Split vertex of a bintree hypotenuse from a to b: the packed midpoint, or -1 when the
// hypotenuse is the diagonal of one grid cell (the mean of the packed ids is the packed
// midpoint at every coarser level).
inline VertexId HypotenuseSplitVertex(VertexId a, VertexId b, int xMask) {
  const int span = a > b ? a - b : b - a;
  if (span == xMask || span == xMask + 2) return -1;
  return (a + b) >> 1;
}

// The process-wide height field; null until start-up builds it.
extern HeightField* CurrentHeightField;

// Replaces the current height field (the previous one and its samples are freed).
void InstallHeightField(HeightSample* samples, float verticalScale, int n);

// Frees the current height field, if any.
void DestroyHeightField();

// Bilinear height at world point (x, y) of the current height field.
float SampleHeight(float x, float y);
