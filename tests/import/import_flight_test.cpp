// A GeoTIFF imported and flown: the real quorvane loads the height field, the texture and the
// printed vertical scale, reaches its key help and quits on Esc.
#include <gtest/gtest.h>

#include <cmath>

#include "e2e/harness.h"
#include "import/import_fixtures.h"

namespace {

using namespace import_test;

TEST(ImportFlight, QuorvaneFliesTheImportedTerrain) {
  e2e::QuorvaneRun quorvane(false);
  RasterRecipe raster;
  raster.width = raster.height = 300;
  raster.geoTransform = {500000.0, 30.0, 0.0, 4100000.0, 0.0, -30.0};
  raster.epsg = 32633;
  raster.valueAt = [](int column, int row, int) { return 800.0 * std::sin(column / 40.0) * std::cos(row / 50.0); };
  ASSERT_TRUE(WriteRaster(quorvane.PathOf("dem.tif"), raster));
  const ProgramRun import =
      RunImport(quorvane.PathOf(""), {"dem.tif", "terrain.png", "--texture", "shade.png", "--size", "257"});
  ASSERT_EQ(import.status, 0) << import.err;

  quorvane.Start({"terrain.png", "shade.png", PrintedScaleText(import.out)});
  ASSERT_TRUE(quorvane.WaitForReady()) << quorvane.Stdout() << quorvane.Stderr();
  EXPECT_NE(quorvane.Stdout().find("Loading texture map shade.png"), std::string::npos) << quorvane.Stdout();
  quorvane.Key("Escape");
  EXPECT_EQ(quorvane.WaitForExit(), 0) << quorvane.Stdout() << quorvane.Stderr();
}

}  // namespace
