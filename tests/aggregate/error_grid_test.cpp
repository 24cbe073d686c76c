// The error grid a builder fills at construction: one entry per coarse vertex, the largest error
// of the aggregate triangles split there.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "aggregate_blocks.h"
#include "app/platform/log_sink.h"
#include "support/test_terrain.h"
#include "terrain/terrain.h"

namespace {

class ErrorGridTest : public ::testing::Test {
 protected:
  VertexId Id(int x, int y) const { return terrain_.field.Id(x, y); }

  Terrain terrain_ = RoughTerrain(4, 31);
};

TEST_F(ErrorGridTest, EveryEntryHoldsTheLargestErrorOfTheTrianglesSplitThere) {
  const HeightField& field = terrain_.field;
  for (int level = 0; level <= 3; ++level) {
    for (bool adaptive : {false, true}) {
      SCOPED_TRACE(testing::Message() << "level " << level << (adaptive ? " adaptive" : " uniform"));
      const auto builder = MakeBuilder(level, adaptive, field, terrain_.metric);
      const int side = 16 >> level;
      ASSERT_EQ(builder->GridEntries(), (side + 1) * (side + 1));
      std::map<VertexId, float> expected;  // by split vertex, worked out without the grid's indexing
      for (const AggregateCorners& t : AggregateTriangles(field, level, false, RootOrientation::kErrorGrid)) {
        float& entry = expected[(t.left + t.right) >> 1];
        entry = std::max(entry, builder->AggregateError(t.left, t.right, t.apex));
      }
      std::set<int> positions;
      for (int y = 0; y <= 16; y += 1 << level) {
        for (int x = 0; x <= 16; x += 1 << level) {
          const VertexId v = Id(x, y);
          const int position = builder->GridEntryIndex(v);
          ASSERT_GE(position, 0);
          ASSERT_LT(position, builder->GridEntries());
          EXPECT_TRUE(positions.insert(position).second) << "two coarse vertices share entry " << position;
          const auto found = expected.find(v);
          EXPECT_EQ(builder->GridError(v), found == expected.end() ? 0.0f : found->second) << x << ", " << y;
        }
      }
      EXPECT_GT(builder->GridError(Id(8, 8)), 0.0f);
    }
  }
}

// Over any number of threads, each with its own scratch, the grid holds exactly what one builder
// evaluating every triangle in turn finds: on fields deep enough that the tree is cut into many
// subtree tasks, and at levels where every triangle is a task of its own.
TEST(ErrorGridThreadsTest, AnyNumberOfThreadsGivesTheSerialGridBitForBit) {
  struct Field {
    int n;
    uint32_t seed;
  };
  for (const Field& f : {Field{6, 3}, Field{9, 5}}) {
    const HeightField field = f.n % 2 == 0 ? RoughField(f.n, f.seed, 0.3f) : NoiseField(f.n, f.seed);
    const ErrorMetric metric = RandomMetric(field, f.seed, 0.05f);
    for (const int level : {0, 1, 3, 5}) {
      for (const bool adaptive : {false, true}) {
        SCOPED_TRACE(testing::Message() << "n " << f.n << ", level " << level << (adaptive ? " adaptive" : " uniform"));
        const auto serial = MakeBuilder(level, adaptive, field, metric);
        std::unordered_map<VertexId, float> expected;
        for (const AggregateCorners& t : AggregateTriangles(field, level, false, RootOrientation::kErrorGrid)) {
          float& entry = expected[(t.left + t.right) >> 1];
          entry = std::max(entry, serial->AggregateError(t.left, t.right, t.apex));
        }
        for (const int threads : {1, 2, 3, 8}) {
          NullLogSink quiet;
          auto made = AggregationBuilder::Make(level, adaptive, field, metric, quiet, threads);
          ASSERT_TRUE(made.ok());
          const AggregationBuilder& builder = *made.value();
          for (int y = 0; y <= field.N; y += 1 << level) {
            for (int x = 0; x <= field.N; x += 1 << level) {
              const auto found = expected.find(field.Id(x, y));
              const float wanted = found == expected.end() ? 0.0f : found->second;
              // As bits: a value off by one rounding, or -0 for 0, would fail too.
              ASSERT_EQ(std::bit_cast<uint32_t>(builder.GridError(field.Id(x, y))), std::bit_cast<uint32_t>(wanted))
                  << threads << " threads, entry " << x << ", " << y;
            }
          }
        }
      }
    }
  }
}

// Reports a new error at each call and records the triangles it was asked about.
class RecordingBuilder final : public AggregationBuilder {
 public:
  RecordingBuilder(int level, const Terrain& terrain) : AggregationBuilder(level, terrain.field, terrain.metric) {
    EXPECT_TRUE(BuildErrorGrid());
  }
  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    calls.emplace_back(left, right, apex);
    return static_cast<float>(calls.size());
  }
  int GenerateVertices(VertexId, VertexId, VertexId, BlockOutput&) override { return 0; }
  void GenerateIndices(BlockOutput&) override {}
  bool IsAdaptive() const override { return false; }

  std::vector<std::tuple<VertexId, VertexId, VertexId>> calls;
};

TEST_F(ErrorGridTest, TheGridAsksForEachSplittableTriangleOnce) {
  for (int level = 0; level <= 4; ++level) {
    RecordingBuilder builder(level, terrain_);
    std::vector<std::tuple<VertexId, VertexId, VertexId>> all;
    for (const AggregateCorners& t : AggregateTriangles(terrain_.field, level, false, RootOrientation::kErrorGrid))
      all.emplace_back(t.left, t.right, t.apex);
    std::vector<std::tuple<VertexId, VertexId, VertexId>> asked = builder.calls;
    std::sort(all.begin(), all.end());
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, all) << "level " << level;
  }
}

// At level n the top triangles are the finest aggregate size: both kinds draw them at full
// resolution, so nothing is left out and the four entries of the grid stay 0.
TEST_F(ErrorGridTest, AtLevelNTheTopTrianglesAreWholeAndTheGridIsZero) {
  const ErrorMetric large = RandomMetric(terrain_.field, 3, 100.0f);
  for (bool adaptive : {false, true}) {
    SCOPED_TRACE(adaptive ? "adaptive" : "uniform");
    const auto builder = MakeBuilder(4, adaptive, terrain_.field, large);
    ASSERT_EQ(builder->GridEntries(), 4);
    for (const AggregateCorners& t : AggregateTriangles(terrain_.field, 4, true)) {
      EXPECT_EQ(builder->AggregateError(t.left, t.right, t.apex), 0.0f);
      const AggregateBlock block = BuildBlock(*builder, t);
      EXPECT_EQ(block.triangles, 256);
      EXPECT_TRUE(IsSoundTessellation(terrain_.field, block, 4, t));
    }
    for (int corner : {0, 16})
      for (int other : {0, 16}) EXPECT_EQ(builder->GridError(Id(corner, other)), 0.0f);
  }
}

TEST_F(ErrorGridTest, MakeAnnouncesTheLevelAndKindItBuilds) {
  for (bool adaptive : {false, true}) {
    BufferLogSink log;
    Result<std::unique_ptr<AggregationBuilder>> made =
        AggregationBuilder::Make(2, adaptive, terrain_.field, terrain_.metric, log);
    ASSERT_TRUE(made.ok());
    EXPECT_EQ(made.value()->level, 2);
    EXPECT_EQ(made.value()->IsAdaptive(), adaptive);
    EXPECT_EQ(made.value()->subTriangleCapacity, 16);
    const std::string line = adaptive ? "Aggregation level 2 (adaptive):\n" : "Aggregation level 2 (uniform):\n";
    EXPECT_EQ(log.log, line);
    EXPECT_EQ(log.console, line);
  }
}

}  // namespace
