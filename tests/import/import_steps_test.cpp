// Boundary cases of the importer's steps that no small raster reaches.
#include <gtest/gtest.h>

#include <numbers>

#include "import/source.h"
#include "import/square.h"

namespace {

TEST(ImportSteps, DefaultSideIsTheSmallestGridSideNotBelowTheSourceCappedAt16385) {
  const DecisionLog quiet = [](const std::string&) {};
  auto side = [&](double across) {
    TerrainSquare square;
    square.sourceSamplesAcross = across;
    Result<int> chosen = ChooseSide(square, std::nullopt, quiet);
    return chosen.ok() ? chosen.value() : -1;
  };
  EXPECT_EQ(side(2.0), 3);
  EXPECT_EQ(side(1025.0), 1025);
  EXPECT_EQ(side(1025.5), 2049);
  EXPECT_EQ(side(16385.0), 16385);
  EXPECT_EQ(side(40000.0), 16385);
  EXPECT_TRUE(ChooseSide(TerrainSquare{}, 16385, quiet).ok());
  EXPECT_FALSE(ChooseSide(TerrainSquare{}, 16386, quiet).ok());
}

TEST(ImportSteps, DegreesInMetresFollowTheEllipsoid) {
  ElevationSource wgs84;
  wgs84.geographic = true;
  wgs84.semiMajorMetres = 6378137.0;
  wgs84.inverseFlattening = 298.257223563;
  wgs84.radiansPerCrsUnit = std::numbers::pi / 180;
  // Published lengths of a degree at 60 degrees north on WGS 84 (the program tests sit on the
  // equator, where the cosine of the latitude hides nothing).
  const GroundScale sixty = GroundScaleAt(wgs84, 60.0);
  EXPECT_NEAR(sixty.metresPerUnitX, 55800.0, 1.0);
  EXPECT_NEAR(sixty.metresPerUnitY, 111412.3, 0.5);
}

}  // namespace
