#include "terrain/height_field.h"

#include <gtest/gtest.h>

#include "support/test_terrain.h"

namespace {

class HeightFieldTest : public ::testing::Test {
 protected:
  void TearDown() override { DestroyHeightField(); }
};

TEST_F(HeightFieldTest, FieldsAndVertexIdPackingFor1025) {
  InstallHeightField(new HeightSample[1025 * 1025](), 0.1f, 10);
  const HeightField& field = *CurrentHeightField;
  EXPECT_EQ(field.N, 1024);
  EXPECT_EQ(field.xMask, 2047);
  EXPECT_FLOAT_EQ(field.spacing, 1.0f / 1024);
  EXPECT_EQ(field.Id(3, 5), 10243);
  EXPECT_EQ(field.GridX(10243), 3);
  EXPECT_EQ(field.GridY(10243), 5);
  EXPECT_EQ(field.GridX(field.Id(1024, 1024)), 1024);
  EXPECT_EQ(field.GridY(field.Id(1024, 1024)), 1024);
}

TEST_F(HeightFieldTest, HeightOfFullSampleIsTheVerticalScale) {
  auto* samples = new HeightSample[4]{65535, 0, 0, 0};
  InstallHeightField(samples, 0.1f, 0);
  EXPECT_NEAR(CurrentHeightField->Height(0, 0), 0.1f, 1e-7f);
  EXPECT_EQ(CurrentHeightField->Height(1, 0), 0.0f);
}

TEST_F(HeightFieldTest, SampleHeightAtCornersCentreAndFarEdges) {
  InstallTerrainFrom(2, 1.0f, [](int x, int y) { return static_cast<HeightSample>(1000 * x + 10 * y); });
  const HeightField& field = *CurrentHeightField;
  EXPECT_FLOAT_EQ(SampleHeight(1.0f, 1.0f), field.Height(4, 4));
  EXPECT_FLOAT_EQ(SampleHeight(0.5f, 0.5f), field.Height(2, 2));
  EXPECT_FLOAT_EQ(SampleHeight(1.0f, 0.0f), field.Height(4, 0));
  EXPECT_FLOAT_EQ(SampleHeight(0.0f, 1.0f), field.Height(0, 4));
  // Half way between two samples along x on row 1.
  EXPECT_NEAR(SampleHeight(0.125f, 0.25f), 0.5f * (field.Height(0, 1) + field.Height(1, 1)), 1e-6f);
}

}  // namespace
