// The regular lattice of an aggregate triangle (left P, right Q, apex A) at level L:
// V(r, k) = P + r u + k w with u = (Q - P) / 2^L, w = (A - P) / 2^L, r + k <= 2^L,
// numbered row by row: V(r, k) has index r (2^L + 1) - r (r - 1) / 2 + k.
#include <cstdint>

#include "aggregate/aggregation_builder.h"

namespace {

class LatticeIndexWriter {
 public:
  LatticeIndexWriter(int side, BlockOutput& block) : side_(side), block_(block), out_(block.indexCursor) {}
  ~LatticeIndexWriter() { block_.indexCursor = out_; }
  LatticeIndexWriter(const LatticeIndexWriter&) = delete;
  LatticeIndexWriter& operator=(const LatticeIndexWriter&) = delete;

  int V(int r, int k) const { return r * (side_ + 1) - r * (r - 1) / 2 + k; }
  void Triangle(int a, int b, int c) {
    *out_++ = static_cast<uint16_t>(a);
    *out_++ = static_cast<uint16_t>(b);
    *out_++ = static_cast<uint16_t>(c);
  }

 private:
  int side_;
  BlockOutput& block_;
  uint16_t* out_;
};

}  // namespace

int AggregationBuilder::UniformVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& block) const {
  const int side = 1 << level;
  const int px = field.GridX(left);
  const int py = field.GridY(left);
  const int ux = (field.GridX(right) - px) >> level;
  const int uy = (field.GridY(right) - py) >> level;
  const int wx = (field.GridX(apex) - px) >> level;
  const int wy = (field.GridY(apex) - py) >> level;
  CacheVertex* out = block.vertexCursor;
  for (int r = 0; r <= side; ++r)
    for (int k = 0; k <= side - r; ++k) *out++ = field.GridPosition(px + r * ux + k * wx, py + r * uy + k * wy);
  block.vertexCursor = out;
  return subTriangleCapacity;
}

// Fans of 4 and 8 triangles around the lattice vertices of odd rows, so that each run shares
// one vertex; every sub-triangle turns the same way as (left, right, apex).
void AggregationBuilder::UniformIndices(BlockOutput& block) const {
  const int side = 1 << level;
  LatticeIndexWriter w(side, block);
  if (level == 0) {
    w.Triangle(0, 2, 1);
    return;
  }
  for (int r = 1; r < side; r += 2) {
    int z = w.V(r, 0);
    w.Triangle(z, w.V(r - 1, 1), w.V(r - 1, 0));
    w.Triangle(z, w.V(r - 1, 2), w.V(r - 1, 1));
    w.Triangle(z, w.V(r, 1), w.V(r - 1, 2));
    w.Triangle(z, w.V(r + 1, 0), w.V(r, 1));
    for (int k = 2; k <= side - r - 1; k += 2) {
      z = w.V(r, k);
      w.Triangle(z, w.V(r - 1, k), w.V(r, k - 1));
      w.Triangle(z, w.V(r, k - 1), w.V(r + 1, k - 2));
      w.Triangle(z, w.V(r + 1, k - 2), w.V(r + 1, k - 1));
      w.Triangle(z, w.V(r + 1, k - 1), w.V(r + 1, k));
      w.Triangle(z, w.V(r + 1, k), w.V(r, k + 1));
      w.Triangle(z, w.V(r, k + 1), w.V(r - 1, k + 2));
      w.Triangle(z, w.V(r - 1, k + 2), w.V(r - 1, k + 1));
      w.Triangle(z, w.V(r - 1, k + 1), w.V(r - 1, k));
    }
  }
}
