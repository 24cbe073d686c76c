// Key '[': the current view drawn again, uncounted, and its green channel written to quorNNNN.png.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/capture.h"
#include "app/input.h"
#include "shell_doubles.h"
#include "support/gl_context.h"
#include "support/temp_dir.h"
#include "terrain/png_io.h"

namespace {

class CaptureTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(directory_.path());
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    MakeTestGLContextCurrent();
  }

  void Capture() { ASSERT_TRUE(OnKey(shell_, '[').ok()); }

  // Reads an 8-bit grey capture back; fails the test if it is not one.
  static std::vector<unsigned char> ReadCapture(const char* name, int expectedWidth, int expectedHeight) {
    int width = 0, height = 0, channels = 0;
    unsigned char* texels = nullptr;
    EXPECT_TRUE(ReadImagePng(name, 1 << 14, &width, &height, &channels, &texels)) << name;
    EXPECT_EQ(width, expectedWidth);
    EXPECT_EQ(height, expectedHeight);
    EXPECT_EQ(channels, 1);
    std::vector<unsigned char> pixels;
    if (texels != nullptr) pixels.assign(texels, texels + static_cast<size_t>(width) * height * channels);
    delete[] texels;
    return pixels;
  }

  TempDir directory_;
  std::filesystem::path previous_;
  TestShell test_;
  Shell& shell_ = test_.shell;
};

TEST_F(CaptureTest, FirstRowIsTheTopRowForAnOddWidth) {
  ASSERT_TRUE(MakeTestGLContextCurrent(641, 479));
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.0f, 0.2f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 240, 641, 239);  // the top 239 rows
  glClearColor(0.0f, 0.8f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  SaveWindowImage("quor0000.png", 641, 479);
  const std::vector<unsigned char> pixels = ReadCapture("quor0000.png", 641, 479);
  ASSERT_EQ(pixels.size(), 641u * 479u);
  for (int row : {0, 100, 238}) EXPECT_EQ(pixels[row * 641 + 640], 204) << "row " << row;
  for (int row : {239, 300, 478}) EXPECT_EQ(pixels[row * 641 + 0], 51) << "row " << row;
}

TEST_F(CaptureTest, NumbersRunOnAndWrapAfter9999) {
  Capture();
  Capture();
  EXPECT_TRUE(std::filesystem::exists("quor0000.png"));
  EXPECT_TRUE(std::filesystem::exists("quor0001.png"));
  shell_.captureCounter = 1234;
  Capture();
  EXPECT_TRUE(std::filesystem::exists("quor1234.png"));
  shell_.captureCounter = 10000;
  std::filesystem::remove("quor0000.png");
  Capture();
  EXPECT_TRUE(std::filesystem::exists("quor0000.png"));
  EXPECT_EQ(shell_.captureCounter, 10001);
}

TEST_F(CaptureTest, UnwritableFileIsSkippedSilentlyAndTheNumberStillAdvances) {
  shell_.view.windowWidth = 64;
  shell_.view.windowHeight = 48;
  std::filesystem::create_directory("quor0000.png");  // cannot be opened as a file, even by root
  Capture();
  EXPECT_TRUE(std::filesystem::is_directory("quor0000.png"));
  Capture();
  EXPECT_EQ(shell_.captureCounter, 2);
  EXPECT_TRUE(std::filesystem::is_regular_file("quor0001.png"));
  EXPECT_EQ(test_.Log(), "");
}

TEST_F(CaptureTest, WithoutAMethodCameraZeroShowsSkyAndOverheadCamerasWhite) {
  Capture();
  ASSERT_TRUE(OnKey(shell_, '3').ok());
  Capture();
  for (unsigned char value : ReadCapture("quor0000.png", 640, 480)) ASSERT_EQ(value, 153);
  for (unsigned char value : ReadCapture("quor0001.png", 640, 480)) ASSERT_EQ(value, 255);
}

// After a swap the back buffer's contents are undefined (a driver that flips buffers hands back
// an old frame): the capture draws the view again rather than read what is left there, and that
// redraw is counted neither in the run's statistics nor in the method's counters.
TEST_F(CaptureTest, CaptureDrawsTheViewAgainUncounted) {
  shell_.view.windowWidth = 64;
  shell_.view.windowHeight = 48;
  StubMethod& method = test_.AddMethod("A");
  method.shade = 0.4f;
  method.triangles = 7.0;
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);  // what a flip may leave behind
  glClear(GL_COLOR_BUFFER_BIT);
  Capture();
  for (unsigned char value : ReadCapture("quor0000.png", 64, 48)) ASSERT_EQ(value, 102);
  EXPECT_EQ(shell_.stats.frames, 1u);
  EXPECT_EQ(shell_.stats.triangles, 7.0);
  EXPECT_EQ(shell_.stats.bytes, 180.0);
  EXPECT_EQ(method.counters.splits, 1u);
  EXPECT_EQ(test_.window.swaps, 1);
}

TEST_F(CaptureTest, FailedRedrawWritesNothingAndComesBack) {
  StubMethod& method = test_.AddMethod("A");
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  method.drawFailure = Failure{"cache full\n"};
  const Status status = OnKey(shell_, '[');
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.failure().message, "cache full\n");
  EXPECT_FALSE(std::filesystem::exists("quor0000.png"));
  EXPECT_EQ(shell_.captureCounter, 0);
}

}  // namespace
