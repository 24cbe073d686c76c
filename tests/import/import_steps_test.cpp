// Boundary cases of the importer's steps that no small raster reaches.
#include <gtest/gtest.h>

#include <numbers>

#include "import/output_files.h"
#include "import/source.h"
#include "import/square.h"

namespace {

TEST(ImportSteps, ScalesPrintInDecimalNotationWithSixDigits) {
  EXPECT_EQ(FormatDecimal(0.0000123456789), "0.0000123457");
  EXPECT_EQ(FormatDecimal(0.1), "0.1");
  EXPECT_EQ(FormatDecimal(12345678.9), "12345679");
  EXPECT_EQ(FormatDecimal(0.999999999), "1");
}

TEST(ImportSteps, DefaultSideIsTheSmallestGridSideNotBelowTheSourceCappedAt16385) {
  const DecisionLog quiet = [](const std::string&) {};
  auto side = [&](double across) {
    TerrainSquare square;
    square.sourceSamplesAcross = across;
    Outcome<int> chosen = ChooseSide(square, std::nullopt, quiet);
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
  // Published lengths of a degree on WGS 84.
  const GroundScale equator = GroundScaleAt(wgs84, 0.0);
  EXPECT_NEAR(equator.metresPerUnitX, 111319.5, 0.5);
  EXPECT_NEAR(equator.metresPerUnitY, 110574.3, 0.5);
  const GroundScale sixty = GroundScaleAt(wgs84, 60.0);
  EXPECT_NEAR(sixty.metresPerUnitX, 55800.0, 1.0);
  EXPECT_NEAR(sixty.metresPerUnitY, 111412.3, 0.5);
}

}  // namespace
