#pragma once
#include <gtest/gtest.h>

#include "support/cabtt_fakes.h"
#include "support/terrain_log_capture.h"
#include "terrain/point3.h"

// A CABTT test world: height field, view state, a recording cache as ActiveCache and the
// CABTT globals at their start values; everything, and a captured Terrain log, is torn down
// afterwards.
class CabttTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs a fake builder for the level (clamped to n) and activates the method.
  FakeAggregationBuilder* Start(int level, bool adaptive = true, FakeErrors errors = FakeErrors::kNested,
                                uint32_t seed = 1, float scale = 1.0f);

  // One frame as DrawCabtt runs it, without GL: camera 0 at eye looking along heading.
  void Frame(const Point3& eye, float heading = 0.0f, void (*secondPass)() = nullptr);

  int n_ = 6;
  RecordingGeometryCache* cache_ = nullptr;
};
