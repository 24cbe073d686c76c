// What the real quorvane-import does with input it cannot use: one line on standard error, status
// 1 (2 for a command line it cannot read), and no file left behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "import/import_fixtures.h"
#include "support/temp_dir.h"

namespace {

using namespace import_test;

RasterRecipe SmallDem() {
  RasterRecipe raster;
  raster.width = raster.height = 65;
  raster.geoTransform = {500000.0, 30.0, 0.0, 4100000.0, 0.0, -30.0};
  raster.epsg = 32633;
  raster.valueAt = [](int column, int row, int) { return column + row; };
  return raster;
}

class ImportFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteRaster(dir_.File("dem.tif"), SmallDem()));
    RasterRecipe empty = SmallDem();
    empty.nodata = -1.0;
    empty.valueAt = [](int, int, int) { return -1.0; };
    ASSERT_TRUE(WriteRaster(dir_.File("empty.tif"), empty));
    std::FILE* text = std::fopen(dir_.File("notes.txt").c_str(), "w");
    ASSERT_NE(text, nullptr);
    std::fputs("not a raster\n", text);
    std::fclose(text);
  }

  // Runs the program, expecting the status, one line on standard error holding the reason, and
  // the directory exactly as it was.
  void ExpectRefused(const std::vector<std::string>& arguments, int status, const std::string& reason) {
    const std::vector<std::string> before = FilesIn(dir_.path());
    const ProgramRun run = RunImport(dir_.path(), arguments);
    EXPECT_EQ(run.status, status) << arguments[0] << " " << arguments.back() << "\n" << run.out << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_EQ(FilesIn(dir_.path()), before) << run.err;
  }

  TempDir dir_;
};

TEST_F(ImportFailure, InputsThatCannotBeImported) {
  ExpectRefused({"notes.txt", "out.png"}, 1, "not recognized as a supported file format");
  ExpectRefused({"missing.tif", "out.png"}, 1, "missing.tif");
  ExpectRefused({"dem.tif", "out.png", "--band", "2"}, 1, "no band 2");
  ExpectRefused({"dem.tif", "out.png", "--window", "100", "0", "10"}, 1, "outside");
  ExpectRefused({"dem.tif", "out.png", "--bbox", "0", "0", "10", "10"}, 1, "outside");
  ExpectRefused({"empty.tif", "out.png"}, 1, "nodata");
}

TEST_F(ImportFailure, SizesThatAreNotTwoToTheNPlusOneUpTo16385) {
  ExpectRefused({"dem.tif", "out.png", "--size", "64"}, 1, "--size 64");
  ExpectRefused({"dem.tif", "out.png", "--size", "32769"}, 1, "--size 32769");
  ExpectRefused({"dem.tif", "out.png", "--size", "2"}, 1, "--size 2");
  ExpectRefused({"dem.tif", "out.png", "--texture", "t.png", "--texture-size", "1000"}, 1, "--texture-size 1000");
}

TEST_F(ImportFailure, UnwritableOutputsLeaveNoFile) {
  ExpectRefused({"dem.tif", "missing/out.png"}, 1, "missing/out.png");
  // The height field is ready before the texture fails: nothing of it may stay.
  ExpectRefused({"dem.tif", "out.png", "--texture", "missing/t.png"}, 1, "missing/t.png");
  ExpectRefused({"dem.tif", "out.png", "--texture", "t.png", "--drape", "nowhere.tif"}, 1, "nowhere.tif");
}

TEST_F(ImportFailure, BadCommandLinesExitWithStatus2) {
  ExpectRefused({"dem.tif"}, 2, "OUTPUT");
  ExpectRefused({"dem.tif", "out.png", "--no-such-option"}, 2, "--no-such-option");
  ExpectRefused({"dem.tif", "out.png", "--band", "one"}, 2, "--band");
  ExpectRefused({"dem.tif", "out.png", "--window", "1", "2"}, 2, "--window");
  ExpectRefused({"dem.tif", "out.png", "--resample", "sharpest"}, 2, "sharpest");
  ExpectRefused({"dem.tif", "out.png", "--drape", "photo.tif"}, 2, "--texture");
}

}  // namespace
