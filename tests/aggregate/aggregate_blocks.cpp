#include "aggregate_blocks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "aggregate/block_output.h"
#include "app/platform/log_sink.h"

namespace {

int64_t Cross(GridVertex a, GridVertex b, GridVertex c) {
  return static_cast<int64_t>(b.x - a.x) * (c.y - a.y) - static_cast<int64_t>(b.y - a.y) * (c.x - a.x);
}

uint64_t Key(GridVertex v) {
  return (static_cast<uint64_t>(static_cast<uint32_t>(v.x)) << 32) | static_cast<uint32_t>(v.y);
}

using Edge = std::pair<uint64_t, uint64_t>;

GridVertex Corner(const HeightField& field, VertexId id) { return {field.GridX(id), field.GridY(id)}; }

// The border segments of t as a 2^level lattice cuts them, directed counter-clockwise.
std::vector<Edge> BorderSegments(const HeightField& field, int level, const AggregateCorners& t) {
  const GridVertex corners[3] = {Corner(field, t.left), Corner(field, t.right), Corner(field, t.apex)};
  const int side = 1 << level;
  std::vector<Edge> segments;
  for (int c = 0; c < 3; ++c) {
    const GridVertex from = corners[c];
    const GridVertex to = corners[(c + 1) % 3];
    const int sx = (to.x - from.x) / side;
    const int sy = (to.y - from.y) / side;
    for (int j = 0; j < side; ++j)
      segments.emplace_back(Key({from.x + j * sx, from.y + j * sy}),
                            Key({from.x + (j + 1) * sx, from.y + (j + 1) * sy}));
  }
  std::sort(segments.begin(), segments.end());
  return segments;
}

}  // namespace

std::vector<AggregateCorners> AggregateTriangles(const HeightField& field, int level, bool finest,
                                                 RootOrientation roots) {
  const int N = field.N;
  const int step = 1 << level;
  std::vector<AggregateCorners> result;
  std::vector<AggregateCorners> pending;
  if (roots == RootOrientation::kCabtt) {
    pending.push_back({field.Id(N, N), field.Id(0, 0), field.Id(N, 0)});
    pending.push_back({field.Id(0, 0), field.Id(N, N), field.Id(0, N)});
  } else {
    pending.push_back({field.Id(N, N), field.Id(0, 0), field.Id(0, N)});
    pending.push_back({field.Id(0, 0), field.Id(N, N), field.Id(N, 0)});
  }
  while (!pending.empty()) {
    const AggregateCorners t = pending.back();
    pending.pop_back();
    result.push_back(t);
    const int dx = std::abs(field.GridX(t.apex) - field.GridX(t.left));
    const int dy = std::abs(field.GridY(t.apex) - field.GridY(t.left));
    const bool finestSize = (dx == 0 || dy == 0) && dx + dy <= step;
    const bool lastSplittable = dx <= step && dy <= step;
    if (finestSize || (lastSplittable && !finest)) continue;
    const VertexId middle = (t.left + t.right) >> 1;
    pending.push_back({t.right, t.apex, middle});
    pending.push_back({t.apex, t.left, middle});
  }
  return result;
}

std::unique_ptr<AggregationBuilder> MakeBuilder(int level, bool adaptive, const HeightField& field,
                                                const ErrorMetric& metric) {
  NullLogSink quiet;
  Result<std::unique_ptr<AggregationBuilder>> made = AggregationBuilder::Make(level, adaptive, field, metric, quiet);
  if (!made.ok()) {
    std::fprintf(stderr, "%s", made.failure().message.c_str());
    std::abort();
  }
  return std::move(made.value());
}

AdaptiveBuilder& AsAdaptive(AggregationBuilder& builder) {
  if (!builder.IsAdaptive()) std::abort();
  return static_cast<AdaptiveBuilder&>(builder);
}

GridVertex ToGrid(const HeightField& field, const CacheVertex& v) {
  const float N = static_cast<float>(field.N);
  return {static_cast<int>(std::lround(v.x * N)), static_cast<int>(std::lround(v.y * N))};
}

AggregateBlock BuildBlock(AggregationBuilder& builder, const AggregateCorners& t, bool lattice) {
  const int side = 1 << builder.level;
  // Generous room, so that an overrun shows as a count above the limit rather than as corruption.
  std::vector<CacheVertex> vertexArea(static_cast<size_t>(4 * (side + 1) * (side + 2) + 16));
  std::vector<uint16_t> indexArea(static_cast<size_t>(12 * side * side + 16));
  BlockOutput out{vertexArea.data(), vertexArea.data(), indexArea.data()};
  AggregateBlock block;
  if (lattice) {
    block.triangles = builder.UniformVertices(t.left, t.right, t.apex, out);
    builder.UniformIndices(out);
  } else {
    block.triangles = builder.GenerateVertices(t.left, t.right, t.apex, out);
    builder.GenerateIndices(out);
  }
  block.vertices.assign(vertexArea.data(), out.vertexCursor);
  block.indices.assign(indexArea.data(), out.indexCursor);
  return block;
}

::testing::AssertionResult IsSoundTessellation(const HeightField& field, const AggregateBlock& block, int level,
                                               const AggregateCorners& t) {
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
    const GridVertex g = ToGrid(field, v);
    if (g.x < 0 || g.x > field.N || g.y < 0 || g.y > field.N) return ::testing::AssertionFailure() << "vertex off the grid";
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
      if (tri[c] >= grid.size())
        return ::testing::AssertionFailure() << "index " << tri[c] << " beyond the vertices written";
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
  const int64_t expectedArea = Cross(Corner(field, t.apex), Corner(field, t.left), Corner(field, t.right));
  if (doubledArea != expectedArea)
    return ::testing::AssertionFailure() << "sub-triangles cover " << doubledArea << " of " << expectedArea;

  // Within a tiling every directed edge occurs once and is matched by its reverse, except along
  // the border, which must be exactly the lattice's border segments.
  std::sort(edges.begin(), edges.end());
  if (std::adjacent_find(edges.begin(), edges.end()) != edges.end())
    return ::testing::AssertionFailure() << "two sub-triangles overlap along an edge";
  std::vector<Edge> unmatched;
  for (const Edge& e : edges)
    if (!std::binary_search(edges.begin(), edges.end(), Edge{e.second, e.first})) unmatched.push_back(e);
  if (unmatched != BorderSegments(field, level, t))
    return ::testing::AssertionFailure() << "border cut into " << unmatched.size() << " segments, expected "
                                         << 3 * side;
  return ::testing::AssertionSuccess();
}

double ContributionOf(const HeightField& field, const ErrorMetric& metric, int x, int y, int mx, int my) {
  const double dx = (x - mx) * static_cast<double>(field.spacing);
  const double dy = (y - my) * static_cast<double>(field.spacing);
  const double dz = static_cast<double>(field.Height(x, y)) - field.Height(mx, my);
  return std::sqrt(dx * dx + dy * dy + dz * dz) + metric.At(x, y);
}
