// The real quorvane-import on rasters made with GDAL: what it writes, prints and leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "import/import_fixtures.h"
#include "support/temp_dir.h"

namespace {

using namespace import_test;

// UTM zone 33N, 30 m samples; west edge at x 500000, north edge at y 4100000.
RasterRecipe ProjectedRecipe(int width, int height, std::function<double(int, int)> heightAt) {
  RasterRecipe raster;
  raster.width = width;
  raster.height = height;
  raster.geoTransform = {500000.0, 30.0, 0.0, 4100000.0, 0.0, -30.0};
  raster.epsg = 32633;
  raster.valueAt = [heightAt](int column, int row, int) { return heightAt(column, row); };
  return raster;
}

// N of the line "Filled N nodata samples"; -1 when there is none.
long long PrintedFilled(const std::string& out) {
  const std::string key = "\nFilled ";
  const size_t at = ("\n" + out).find(key);
  if (at == std::string::npos) return -1;
  char* end = nullptr;
  const long long filled = std::strtoll(out.c_str() + at + key.size() - 1, &end, 10);
  return std::string(end).rfind(" nodata samples\n", 0) == 0 ? filled : -1;
}

// Relative difference, for scales computed by hand.
double Off(double actual, double expected) { return std::abs(actual - expected) / expected; }

TEST(ImportProgram, ProjectedSlopeWithHoleKeepsItsHeightsAndFillsTheHole) {
  TempDir dir;
  // Rises 3 m per sample eastwards, falls 1 m per sample southwards; an 8 x 8 hole.
  auto inHole = [](int column, int row) { return column >= 140 && column < 148 && row >= 120 && row < 128; };
  auto height = [](int column, int row) { return 200.0 + 3.0 * column - row; };
  RasterRecipe raster = ProjectedRecipe(297, 257, [&](int c, int r) { return inHole(c, r) ? -9999.0 : height(c, r); });
  raster.nodata = -9999.0;
  ASSERT_TRUE(WriteRaster(dir.File("dem.tif"), raster));

  const ProgramRun run = RunImport(dir.path(), {"dem.tif", "out.png"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  // The largest square: all 257 rows, columns 20 to 276, so 256 cells of 30 m; heights 4 to 1028 m.
  const double scale = PrintedScale(run.out);
  EXPECT_LT(Off(scale, 1024.0 / (256 * 30.0)), 1e-5) << run.out;
  EXPECT_EQ(PrintedFilled(run.out), 64) << run.out;

  const HeightFieldFile field = ReadHeightField(dir.File("out.png"));
  ASSERT_TRUE(field.acceptedByQuorvane);
  ASSERT_EQ(field.side, 257);
  // The side already is 2^n + 1: every kept sample is the source's height, mapped linearly.
  for (int row = 0; row < 257; ++row) {
    for (int column = 0; column < 257; ++column) {
      if (inHole(column + 20, row)) continue;
      const double expected = (height(column + 20, row) - 4.0) / 1024.0 * 65535.0;
      ASSERT_NEAR(field.At(column, row), expected, 1.0) << column << ", " << row;
    }
  }
  // The hole is filled from its rim, not with an extreme.
  for (int row = 120; row < 128; ++row) {
    for (int column = 120; column < 128; ++column) {
      EXPECT_GE(field.At(column, row), field.At(119, 128));
      EXPECT_LE(field.At(column, row), field.At(128, 119));
    }
  }
  EXPECT_NE(ReadWholeFile(dir.File("out.scale.txt")).find("vertical_scale " + PrintedScaleText(run.out) + "\n"),
            std::string::npos);
  // Nothing else: no temporary file, no .aux.xml.
  EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"dem.tif", "out.png", "out.scale.txt"}));
}

TEST(ImportProgram, GeographicSourceIsMeasuredInMetresAtItsCentreLatitude) {
  TempDir dir;
  // 121 x 121 Int16 samples of 3 arc seconds on the equator, falling 5 m per row southwards.
  RasterRecipe raster;
  raster.dataType = GDT_Int16;
  raster.width = raster.height = 121;
  raster.geoTransform = {10.0, 1.0 / 1200, 0.0, 0.05, 0.0, -1.0 / 1200};
  raster.epsg = 4326;
  raster.valueAt = [](int, int row, int) { return 1000.0 - 5.0 * row; };
  ASSERT_TRUE(WriteRaster(dir.File("geo.tif"), raster));

  // On the equator a degree is 111319.5 m east and 110574.3 m north: the square is all 120
  // rows tall and a little narrower than the 120 columns, so every row counts: 600 m of relief.
  const double expected = 600.0 / (120 * 110574.3 / 1200);
  const ProgramRun measured = RunImport(dir.path(), {"geo.tif", "measured.png"});
  ASSERT_EQ(measured.status, 0) << measured.err;
  EXPECT_LT(Off(PrintedScale(measured.out), expected), 1e-4) << measured.out;

  const ProgramRun projected = RunImport(dir.path(), {"geo.tif", "projected.png", "--project"});
  ASSERT_EQ(projected.status, 0) << projected.err;
  EXPECT_LT(Off(PrintedScale(projected.out), expected), 1e-2) << projected.out;
  for (const char* name : {"measured.png", "projected.png"}) {
    const HeightFieldFile field = ReadHeightField(dir.File(name));
    ASSERT_TRUE(field.acceptedByQuorvane) << name;
    // North is row 0 and the highest; heights fall monotonically southwards.
    for (int row = 1; row < field.side; ++row) ASSERT_LE(field.At(field.side / 2, row), field.At(field.side / 2, row - 1));
    EXPECT_GT(field.At(field.side / 2, 0), 60000);
    EXPECT_LT(field.At(field.side / 2, field.side - 1), 5000);
  }
}

TEST(ImportProgram, AsciiGridIsEnlargedToTheNextSideKeepingTheHeightOrder) {
  TempDir dir;
  RasterRecipe raster = ProjectedRecipe(100, 100, [](int column, int row) { return 2.0 * column + 0.5 * row; });
  raster.driver = "AAIGrid";
  raster.epsg = 0;
  raster.geoTransform = {0.0, 10.0, 0.0, 1000.0, 0.0, -10.0};
  ASSERT_TRUE(WriteRaster(dir.File("grid.asc"), raster));

  const ProgramRun run = RunImport(dir.path(), {"grid.asc", "out.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  // 247.5 m of relief over 99 cells of 10 m (cubic resampling rounds the edges off a little).
  EXPECT_LT(Off(PrintedScale(run.out), 247.5 / 990.0), 1e-2) << run.out;
  const HeightFieldFile field = ReadHeightField(dir.File("out.png"));
  ASSERT_TRUE(field.acceptedByQuorvane);
  ASSERT_EQ(field.side, 129);
  for (int i = 1; i < 129; ++i) {
    ASSERT_GT(field.At(i, 64), field.At(i - 1, 64)) << i;  // east is higher
    ASSERT_GT(field.At(64, i), field.At(64, i - 1)) << i;  // so is south
  }
}

TEST(ImportProgram, NodataBorderIsFilledAndLeftOutOfTheHeightRange) {
  TempDir dir;
  // 65 x 65 with a 4-sample nodata frame around heights 100 + column + row.
  auto border = [](int column, int row) { return column < 4 || row < 4 || column > 60 || row > 60; };
  RasterRecipe raster =
      ProjectedRecipe(65, 65, [&](int c, int r) { return border(c, r) ? -32768.0 : 100.0 + c + r; });
  raster.nodata = -32768.0;
  ASSERT_TRUE(WriteRaster(dir.File("framed.tif"), raster));

  const ProgramRun run = RunImport(dir.path(), {"framed.tif", "out.png"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(PrintedFilled(run.out), 65 * 65 - 57 * 57) << run.out;
  // Only the interior's 112 m count, over 64 cells of 30 m.
  EXPECT_LT(Off(PrintedScale(run.out), 112.0 / (64 * 30.0)), 1e-5) << run.out;
  const HeightFieldFile field = ReadHeightField(dir.File("out.png"));
  ASSERT_TRUE(field.acceptedByQuorvane);
  EXPECT_LE(field.At(0, 0), field.At(8, 8));
  EXPECT_GE(field.At(64, 64), field.At(56, 56));
}

TEST(ImportProgram, OptionsChooseTheSquareSizeAndHeightRange) {
  TempDir dir;
  // Heights equal the column: 1 m per 30 m sample.
  ASSERT_TRUE(WriteRaster(dir.File("ramp.tif"), ProjectedRecipe(129, 129, [](int column, int) { return column; })));
  RasterRecipe feet = ProjectedRecipe(129, 129, [](int column, int) { return column; });
  feet.dataType = GDT_Int16;
  feet.heightUnit = "ft";
  ASSERT_TRUE(WriteRaster(dir.File("feet.tif"), feet));
  struct Case {
    std::vector<std::string> options;
    int side;
    double scale;
    double tolerance = 1e-4;
    std::string input = "ramp.tif";
  } cases[] = {
      {{}, 129, 128.0 / (128 * 30)},
      // Shrinking filters each sample over its neighbours: the edge samples move inwards a little.
      {{"--size", "33"}, 33, 128.0 / (128 * 30), 2e-2},
      {{"--window", "10", "20", "65"}, 65, 64.0 / (64 * 30)},
      // Columns 40 to 72 by their centres' CRS coordinates (500000 + 30 c + 15).
      {{"--window", "501215", "4099385", "960", "--window-units", "crs"}, 33, 32.0 / (32 * 30)},
      {{"--bbox", "501215", "4095000", "502175", "4099000"}, 33, 32.0 / (32 * 30)},
      {{"--exaggerate", "3"}, 129, 3 * 128.0 / (128 * 30)},
      {{}, 129, 128 * 0.3048 / (128 * 30), 1e-4, "feet.tif"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {c.input, "out.png"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramRun run = RunImport(dir.path(), arguments);
    const std::string label = c.input + (c.options.empty() ? "" : " " + c.options[0] + " " + c.options.back());
    ASSERT_EQ(run.status, 0) << label << "\n" << run.err;
    EXPECT_LT(Off(PrintedScale(run.out), c.scale), c.tolerance) << label << "\n" << run.out;
    EXPECT_EQ(ReadHeightField(dir.File("out.png")).side, c.side) << label;
  }
  // Over columns 10 to 74, --min 40 --max 50 clamps the columns below 40 and above 50.
  const ProgramRun run = RunImport(dir.path(), {"ramp.tif", "out.png", "--window", "10", "20", "65", "--min", "40",
                                                "--max", "50"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_LT(Off(PrintedScale(run.out), 10.0 / (64 * 30)), 1e-4) << run.out;
  const HeightFieldFile field = ReadHeightField(dir.File("out.png"));
  EXPECT_EQ(field.At(29, 5), 0);      // column 39
  EXPECT_EQ(field.At(30, 5), 0);      // column 40
  EXPECT_NEAR(field.At(35, 5), 32768, 1);  // column 45
  EXPECT_EQ(field.At(40, 5), 65535);  // column 50
  EXPECT_EQ(field.At(41, 5), 65535);  // column 51
}

TEST(ImportProgram, TexturesAreImagesQuorvaneAccepts) {
  TempDir dir;
  ASSERT_TRUE(WriteRaster(dir.File("dem.tif"), ProjectedRecipe(257, 257, [](int c, int r) { return c * r % 97; })));
  // An RGB image over the same ground: red west half, blue east half, green north half.
  RasterRecipe photo = ProjectedRecipe(64, 64, nullptr);
  photo.geoTransform = {500000.0, 120.0, 0.0, 4100000.0, 0.0, -120.0};
  photo.dataType = GDT_Byte;
  photo.bands = 3;
  photo.valueAt = [](int column, int row, int band) {
    const bool lit[] = {column < 32, row < 32, column >= 32};
    return lit[band - 1] ? 255.0 : 0.0;
  };
  ASSERT_TRUE(WriteRaster(dir.File("photo.tif"), photo));

  ASSERT_EQ(RunImport(dir.path(), {"dem.tif", "a.png", "--texture", "shade.png"}).status, 0);
  const TextureFile shade = ReadTexture(dir.File("shade.png"));
  EXPECT_TRUE(shade.acceptedByQuorvane);
  EXPECT_EQ(shade.side, 1024);  // the 256 cells, raised to the 1024 floor
  EXPECT_EQ(shade.channels, 1);

  ASSERT_EQ(RunImport(dir.path(), {"dem.tif", "b.png", "--texture", "photo.png", "--drape", "photo.tif",
                                   "--texture-size", "256"})
                .status,
            0);
  const TextureFile draped = ReadTexture(dir.File("photo.png"));
  ASSERT_TRUE(draped.acceptedByQuorvane);
  ASSERT_EQ(draped.side, 256);
  ASSERT_EQ(draped.channels, 3);
  // Texel (column, row) with rows from the south edge, as the file holds them.
  auto texel = [&](int column, int row, int channel) { return draped.texels[(row * 256 + column) * 3 + channel]; };
  EXPECT_GT(texel(10, 128, 0), 200);  // west: red, not blue
  EXPECT_LT(texel(10, 128, 2), 50);
  EXPECT_LT(texel(245, 128, 0), 50);  // east: blue, not red
  EXPECT_GT(texel(245, 128, 2), 200);
  EXPECT_LT(texel(128, 10, 1), 50);  // south: not green
  EXPECT_GT(texel(128, 245, 1), 200);
}

}  // namespace
