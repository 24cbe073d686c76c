#include "aggregate_block_check.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "aggregate/block_output.h"

namespace {

int64_t Cross(GridVertex a, GridVertex b, GridVertex c) {
  return static_cast<int64_t>(b.x - a.x) * (c.y - a.y) - static_cast<int64_t>(b.y - a.y) * (c.x - a.x);
}

uint64_t Key(GridVertex v) { return (static_cast<uint64_t>(static_cast<uint32_t>(v.x)) << 32) | static_cast<uint32_t>(v.y); }

using Edge = std::pair<uint64_t, uint64_t>;

GridVertex Corner(VertexId id) { return {CurrentHeightField->GridX(id), CurrentHeightField->GridY(id)}; }

// The border segments of t as a 2^level lattice cuts them, directed counter-clockwise.
std::vector<Edge> BorderSegments(int level, const AggregateCorners& t) {
  const GridVertex corners[3] = {Corner(t.left), Corner(t.right), Corner(t.apex)};
  const int side = 1 << level;
  std::vector<Edge> segments;
  for (int c = 0; c < 3; ++c) {
    const GridVertex from = corners[c];
    const GridVertex to = corners[(c + 1) % 3];
    const int sx = (to.x - from.x) / side;
    const int sy = (to.y - from.y) / side;
    for (int j = 0; j < side; ++j)
      segments.emplace_back(Key({from.x + j * sx, from.y + j * sy}), Key({from.x + (j + 1) * sx, from.y + (j + 1) * sy}));
  }
  std::sort(segments.begin(), segments.end());
  return segments;
}

}  // namespace

GridVertex ToGrid(const CacheVertex& v) {
  const float N = static_cast<float>(CurrentHeightField->N);
  return {static_cast<int>(std::lround(v.x * N)), static_cast<int>(std::lround(v.y * N))};
}

AggregateBlock BuildAggregateBlock(AggregationBuilder& builder, const AggregateCorners& t, bool lattice) {
  const int side = 1 << builder.level;
  // Generous room, so that an overrun shows as a count above the limit instead of corruption.
  std::vector<CacheVertex> vertexArea(static_cast<size_t>(4 * (side + 1) * (side + 2) + 16));
  std::vector<uint16_t> indexArea(static_cast<size_t>(12 * side * side + 16));
  BlockVertexStart = BlockVertexCursor = vertexArea.data();
  BlockIndexCursor = indexArea.data();
  EmitVertices = true;
  AggregateBlock block;
  if (lattice) {
    block.triangles = builder.UniformVertices(t.left, t.right, t.apex);
    builder.UniformIndices();
  } else {
    block.triangles = builder.GenerateVertices(t.left, t.right, t.apex);
    builder.GenerateIndices();
  }
  block.vertices.assign(vertexArea.data(), BlockVertexCursor);
  block.indices.assign(indexArea.data(), BlockIndexCursor);
  ResetBlockOutput();
  return block;
}

::testing::AssertionResult IsSoundTessellation(const AggregateBlock& block, int level, const AggregateCorners& t) {
  const HeightField& field = *CurrentHeightField;
  const int side = 1 << level;
  const size_t vertexLimit = static_cast<size_t>((side + 1) * (side + 2) / 2);
  if (block.triangles < 1 || block.triangles > side * side)
    return ::testing::AssertionFailure() << block.triangles << " sub-triangles";
  if (block.indices.size() != 3 * static_cast<size_t>(block.triangles))
    return ::testing::AssertionFailure() << block.indices.size() << " indices for " << block.triangles << " triangles";
  if (block.vertices.size() > vertexLimit)
    return ::testing::AssertionFailure() << block.vertices.size() << " vertices, limit " << vertexLimit;

  std::vector<GridVertex> grid;
  std::vector<uint64_t> keys;
  for (const CacheVertex& v : block.vertices) {
    const GridVertex g = ToGrid(v);
    if (g.x < 0 || g.x > field.N || g.y < 0 || g.y > field.N)
      return ::testing::AssertionFailure() << "vertex off the grid";
    const Point3 expected = field.GridPosition(g.x, g.y);
    if (v.x != expected.x || v.y != expected.y || v.z != expected.z)
      return ::testing::AssertionFailure() << "vertex (" << v.x << ", " << v.y << ", " << v.z << ") is no grid vertex";
    grid.push_back(g);
    keys.push_back(Key(g));
  }
  std::sort(keys.begin(), keys.end());
  if (std::adjacent_find(keys.begin(), keys.end()) != keys.end())
    return ::testing::AssertionFailure() << "a grid vertex is written twice";

  std::vector<bool> used(grid.size(), false);
  std::vector<Edge> edges;
  int64_t doubledArea = 0;
  for (int i = 0; i < block.triangles; ++i) {
    const uint16_t* tri = &block.indices[3 * static_cast<size_t>(i)];
    for (int c = 0; c < 3; ++c)
      if (tri[c] >= grid.size()) return ::testing::AssertionFailure() << "index " << tri[c] << " beyond the vertices written";
    const GridVertex a = grid[tri[0]], b = grid[tri[1]], c = grid[tri[2]];
    const int64_t cross = Cross(a, b, c);
    if (cross <= 0) return ::testing::AssertionFailure() << "sub-triangle " << i << " is not counter-clockwise";
    doubledArea += cross;
    used[tri[0]] = used[tri[1]] = used[tri[2]] = true;
    edges.emplace_back(Key(a), Key(b));
    edges.emplace_back(Key(b), Key(c));
    edges.emplace_back(Key(c), Key(a));
  }
  if (std::find(used.begin(), used.end(), false) != used.end())
    return ::testing::AssertionFailure() << "a vertex is written but used by no sub-triangle";
  const int64_t expectedArea = Cross(Corner(t.apex), Corner(t.left), Corner(t.right));
  if (doubledArea != expectedArea)
    return ::testing::AssertionFailure() << "sub-triangles cover " << doubledArea << " of " << expectedArea;

  // Within a tiling every directed edge occurs once and is matched by its reverse, except
  // along the border, which must be exactly the lattice's border segments.
  std::sort(edges.begin(), edges.end());
  if (std::adjacent_find(edges.begin(), edges.end()) != edges.end())
    return ::testing::AssertionFailure() << "two sub-triangles overlap along an edge";
  std::vector<Edge> unmatched;
  for (const Edge& e : edges)
    if (!std::binary_search(edges.begin(), edges.end(), Edge{e.second, e.first})) unmatched.push_back(e);
  if (unmatched != BorderSegments(level, t))
    return ::testing::AssertionFailure() << "border cut into " << unmatched.size() << " segments, expected " << 3 * side;
  return ::testing::AssertionSuccess();
}
