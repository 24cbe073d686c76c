#include "aggregate/uniform_builder.h"

#include "aggregate/vertex_error.h"

// The omitted vertices are the midpoints of the lattice edges parallel to the hypotenuse,
// S(i, k) = P + (i + 1/2) u + k w with i + k < 2^L, visited row by row.
float UniformBuilder::OmittedVertexError(VertexId left, VertexId right, VertexId apex) const {
  const int side = 1 << level;
  const int px = field.GridX(left);
  const int py = field.GridY(left);
  const int qx = field.GridX(right);
  const int qy = field.GridY(right);
  const int ux = (qx - px) >> level;
  const int uy = (qy - py) >> level;
  // At the finest aggregate size u is one cell diagonal: the lattice is the full grid, so no
  // vertex is omitted (and u / 2 would name no grid vertex).
  if (((ux | uy) & 1) != 0) return 0.0f;
  const int wx = (field.GridX(apex) - px) >> level;
  const int wy = (field.GridY(apex) - py) >> level;
  const Point3 middle = field.GridPosition((px + qx) / 2, (py + qy) / 2);

  float largest = 0.0f;
  for (int i = 0; i < side; ++i) {
    const int rowX = px + i * ux + ux / 2;
    const int rowY = py + i * uy + uy / 2;
    for (int k = 0; k < side - i; ++k) {
      const int x = rowX + k * wx;
      const int y = rowY + k * wy;
      const float value = ErrorAround(field.GridPosition(x, y), middle, metric.At(x, y));
      if (value > largest) largest = value;
    }
  }
  return largest;
}

namespace {

class LatticeErrors final : public AggregationBuilder::ErrorEvaluator {
 public:
  explicit LatticeErrors(const UniformBuilder& builder) : builder_(builder) {}
  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    return builder_.OmittedVertexError(left, right, apex);
  }

 private:
  const UniformBuilder& builder_;
};

}  // namespace

std::unique_ptr<AggregationBuilder::ErrorEvaluator> UniformBuilder::NewErrorEvaluator() const {
  return std::make_unique<LatticeErrors>(*this);
}
