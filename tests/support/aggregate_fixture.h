#pragma once
#include <gtest/gtest.h>

#include <cmath>

#include "aggregate/aggregation_builder.h"
#include "aggregate/block_output.h"
#include "support/test_terrain.h"
#include "app/terrain_log.h"

// Leaves no builder, metric, height field or block cursors behind for the next test.
class AggregateTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DiscardAggregationBuilder();
    RemoveTestTerrain();
    ResetBlockOutput();
  }

  static VertexId Id(int x, int y) { return CurrentHeightField->Id(x, y); }

  // Distance between two grid vertices' world positions plus the metric value of the first,
  // worked out in double precision.
  static double ContributionOf(int x, int y, int mx, int my) {
    const HeightField& field = *CurrentHeightField;
    const double dx = (x - mx) * static_cast<double>(field.spacing);
    const double dy = (y - my) * static_cast<double>(field.spacing);
    const double dz = static_cast<double>(field.Height(x, y)) - field.Height(mx, my);
    return std::sqrt(dx * dx + dy * dy + dz * dz) + CurrentErrorMetric->At(x, y);
  }
};
