#include <GL/gl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/camera.h"
#include "app/capture.h"
#include "app/frame_loop.h"
#include "support/gl_context.h"
#include "support/shell_doubles.h"
#include "support/temp_dir.h"
#include "terrain/png_io.h"

namespace {

class CaptureTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    InstallShellDoubles();
    ResetViewState();
    ResetFrameLoop();
    ResetCapture();
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(directory_.path());
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    RemoveShellDoubles();
    MakeTestGLContextCurrent();
  }

  // Reads an 8-bit grey capture back; fails the test if it is not one.
  std::vector<unsigned char> ReadCapture(const char* name, int expectedWidth, int expectedHeight) {
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
};

TEST_F(CaptureTest, FirstRowIsTheTopRowForAnOddWidth) {
  ASSERT_TRUE(MakeTestGLContextCurrent(641, 479));
  WindowWidth = 641;
  WindowHeight = 479;
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.0f, 0.2f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 240, 641, 239);  // the top 239 rows
  glClearColor(0.0f, 0.8f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  SaveWindowImage("quor0000.png");
  const std::vector<unsigned char> pixels = ReadCapture("quor0000.png", 641, 479);
  ASSERT_EQ(pixels.size(), 641u * 479u);
  for (int row : {0, 100, 238}) EXPECT_EQ(pixels[row * 641 + 640], 204) << "row " << row;
  for (int row : {239, 300, 478}) EXPECT_EQ(pixels[row * 641 + 0], 51) << "row " << row;
  EXPECT_EQ(pixels[0], 204);
}

TEST_F(CaptureTest, NumbersRunOnAndWrapAfter9999) {
  WindowWidth = 640;
  WindowHeight = 480;
  CaptureScreen();
  CaptureScreen();
  EXPECT_TRUE(std::filesystem::exists("quor0000.png"));
  EXPECT_TRUE(std::filesystem::exists("quor0001.png"));
  CaptureCounter = 1234;
  CaptureScreen();
  EXPECT_TRUE(std::filesystem::exists("quor1234.png"));
  CaptureCounter = 10000;
  std::filesystem::remove("quor0000.png");
  CaptureScreen();
  EXPECT_TRUE(std::filesystem::exists("quor0000.png"));
  EXPECT_EQ(CaptureCounter, 10001);
}

TEST_F(CaptureTest, UnwritableFileIsSkippedSilentlyAndTheNumberStillAdvances) {
  WindowWidth = 64;
  WindowHeight = 48;
  std::filesystem::create_directory("quor0000.png");  // cannot be opened as a file, even by root
  CaptureScreen();
  EXPECT_TRUE(std::filesystem::is_directory("quor0000.png"));
  CaptureScreen();
  EXPECT_EQ(CaptureCounter, 2);
  EXPECT_TRUE(std::filesystem::is_regular_file("quor0001.png"));
}

TEST_F(CaptureTest, WithoutAMethodCameraZeroShowsSkyAndOverheadCamerasWhite) {
  WindowWidth = 640;
  WindowHeight = 480;
  CurrentCamera = 0;
  DisplayFrame();
  CaptureScreen();
  CurrentCamera = 2;
  DisplayFrame();
  CaptureScreen();
  for (unsigned char value : ReadCapture("quor0000.png", 640, 480)) ASSERT_EQ(value, 153);
  for (unsigned char value : ReadCapture("quor0001.png", 640, 480)) ASSERT_EQ(value, 255);
}

// After a swap the back buffer's contents are undefined (a driver that flips buffers hands back
// an old frame): the capture draws the view again rather than read what is left there, and that
// redraw is not counted.
TEST_F(CaptureTest, CaptureDrawsTheViewAgainUncounted) {
  WindowWidth = 64;
  WindowHeight = 48;
  DrawMethods[0] = {nullptr, [] {
                      glClearColor(0.0f, 0.6f, 0.0f, 1.0f);
                      glClear(GL_COLOR_BUFFER_BIT);
                      Stats.triangles += 7;
                    },
                    nullptr, nullptr, nullptr, nullptr};
  DrawMethodCount = 1;
  SetDrawMethod(0);
  DisplayFrame();
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);  // what a flip may leave behind
  glClear(GL_COLOR_BUFFER_BIT);
  CaptureScreen();
  for (unsigned char value : ReadCapture("quor0000.png", 64, 48)) ASSERT_EQ(value, 153);
  EXPECT_EQ(Stats.frames, 1u);
  EXPECT_EQ(Stats.triangles, 7.0);
  EXPECT_EQ(Shell.swaps, 1);
  CurrentDrawMethod = -1;
}

}  // namespace
