#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "aggregate/adaptive_builder.h"
#include "aggregate/uniform_builder.h"
#include "support/aggregate_fixture.h"
#include "support/aggregate_triangle_walk.h"
#include "support/terrain_log_capture.h"

namespace {

class ErrorGridTest : public AggregateTest {
 protected:
  void SetUp() override {
    InstallRoughTerrain(4, 31);
    ComputeErrorMetric(600.0f);
  }
  void TearDown() override {
    CloseTerrainLog();
    AggregateTest::TearDown();
  }
};

// Reports a fixed error per triangle and records the order of the calls.
class RecordingBuilder final : public AggregationBuilder {
 public:
  explicit RecordingBuilder(int level) : AggregationBuilder(level) { BuildErrorGrid(); }
  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    calls.push_back({left, right, apex});
    return static_cast<float>(calls.size());
  }
  int GenerateVertices(VertexId, VertexId, VertexId) override { return 0; }
  void GenerateIndices() override {}
  bool IsAdaptive() const override { return false; }
  std::vector<AggregateCorners> calls;
};

std::vector<float> ExpectedGrid(AggregationBuilder& builder) {
  std::vector<float> grid(static_cast<size_t>(builder.GridEntries()), 0.0f);
  for (const AggregateCorners& t : AggregateTriangles(builder.level, false, RootOrientation::kErrorGrid)) {
    float& entry = grid[static_cast<size_t>(builder.GridEntryIndex((t.left + t.right) >> 1))];
    entry = std::max(entry, builder.AggregateError(t.left, t.right, t.apex));
  }
  return grid;
}

TEST_F(ErrorGridTest, EveryEntryHoldsTheLargestErrorOfTheTrianglesSplitThere) {
  for (int level = 0; level <= 3; ++level) {
    for (bool adaptive : {false, true}) {
      SelectAggregationBuilder(level, adaptive);
      AggregationBuilder& builder = *CurrentAggregationBuilder;
      ASSERT_EQ(builder.GridEntries(), ((16 >> level) + 1) * ((16 >> level) + 1));
      const std::vector<float> expected = ExpectedGrid(builder);
      const std::vector<float> actual(builder.errorGrid, builder.errorGrid + builder.GridEntries());
      EXPECT_EQ(actual, expected) << "level " << level << (adaptive ? " adaptive" : " uniform");
      // Coarse vertices off every splittable hypotenuse keep 0.
      EXPECT_EQ(builder.GridError(Id(0, 0)), 0.0f);
      EXPECT_EQ(builder.GridError(Id(16, 16)), 0.0f);
      EXPECT_GT(builder.GridError(Id(8, 8)), 0.0f);
    }
  }
}

TEST_F(ErrorGridTest, VisitsEachSplittableTriangleOnceFromTheFirstBaseTriangle) {
  RecordingBuilder builder(2);
  const std::vector<AggregateCorners> all = AggregateTriangles(2, false, RootOrientation::kErrorGrid);
  ASSERT_EQ(builder.calls.size(), all.size());
  EXPECT_EQ(builder.calls.size(), 2u + 4u + 8u + 16u);  // down to axis-aligned hypotenuses of 8 cells
  const AggregateCorners& first = builder.calls[0];
  EXPECT_EQ(first.left, Id(0, 0));
  EXPECT_EQ(first.right, Id(16, 16));
  EXPECT_EQ(first.apex, Id(16, 0));
  // Depth first, left child first: (apex M, left A, right P).
  EXPECT_EQ(builder.calls[1].left, Id(16, 0));
  EXPECT_EQ(builder.calls[1].right, Id(0, 0));
  EXPECT_EQ(builder.calls[1].apex, Id(8, 8));
  // The second base triangle is visited after the whole first one, and its later, larger
  // value wins the shared centre entry.
  EXPECT_EQ(builder.calls[all.size() / 2].apex, Id(0, 16));
  EXPECT_EQ(builder.GridError(Id(8, 8)), static_cast<float>(all.size() / 2 + 1));
}

TEST_F(ErrorGridTest, TopLevelGridHoldsTheLargerBaseErrorAtTheOrigin) {
  for (bool adaptive : {false, true}) {
    SelectAggregationBuilder(4, adaptive);
    AggregationBuilder& builder = *CurrentAggregationBuilder;
    ASSERT_EQ(builder.GridEntries(), 4);
    const float first = builder.AggregateError(Id(0, 0), Id(16, 16), Id(16, 0));
    const float second = builder.AggregateError(Id(16, 16), Id(0, 0), Id(0, 16));
    EXPECT_EQ(builder.errorGrid[0], std::max(first, second));
    EXPECT_EQ(builder.errorGrid[1], 0.0f);
    EXPECT_EQ(builder.errorGrid[2], 0.0f);
    EXPECT_EQ(builder.errorGrid[3], 0.0f);
  }
}

TEST_F(ErrorGridTest, SelectionKeepsAnEqualBuilderAndReplacesAnyOther) {
  CaptureTerrainLog();
  ASSERT_NE(TerrainLog, nullptr);
  testing::internal::CaptureStdout();
  SelectAggregationBuilder(2, false);
  AggregationBuilder* first = CurrentAggregationBuilder;
  SelectAggregationBuilder(2, false);
  EXPECT_EQ(CurrentAggregationBuilder, first);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Aggregation level 2 (uniform):\n");

  testing::internal::CaptureStdout();
  SelectAggregationBuilder(2, true);
  EXPECT_TRUE(CurrentAggregationBuilder->IsAdaptive());
  EXPECT_EQ(CurrentAggregationBuilder->level, 2);
  SelectAggregationBuilder(3, true);
  EXPECT_EQ(CurrentAggregationBuilder->level, 3);
  SelectAggregationBuilder(3, false);
  EXPECT_FALSE(CurrentAggregationBuilder->IsAdaptive());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Aggregation level 2 (adaptive):\nAggregation level 3 (adaptive):\nAggregation level 3 (uniform):\n");

  EXPECT_EQ(ReadTerrainLog(),
            "Aggregation level 2 (uniform):\nAggregation level 2 (adaptive):\n"
            "Aggregation level 3 (adaptive):\nAggregation level 3 (uniform):\n");
  DiscardAggregationBuilder();
  EXPECT_EQ(CurrentAggregationBuilder, nullptr);
}

}  // namespace
