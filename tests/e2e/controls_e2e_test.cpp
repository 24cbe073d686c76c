// Keys of the general handler, seen from outside: the log, the captures and the exit status.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "e2e/harness.h"
#include "terrain/png_io.h"

namespace {

using e2e::QuorvaneRun;

// Width and height from a PNG's header.
std::pair<int, int> PngSize(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  if (bytes.size() < 24) return {0, 0};
  auto word = [&](size_t at) {
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
  };
  return {static_cast<int>(word(16)), static_cast<int>(word(20))};
}

TEST(ControlsEndToEnd, CullingAndSpeedKeysWriteTheirLines) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  run.Key("semicolon");  // at 1: nothing
  run.Key("apostrophe");
  ASSERT_TRUE(run.WaitForLog("SpeedUp doubled to: 2\n"));
  run.Key("semicolon");
  ASSERT_TRUE(run.WaitForLog("SpeedUp halved to: 1\n"));
  // C from the start level 14 up to 30, then once more to wrap to 0; c from 0 wraps to 30.
  for (int level = 15; level <= 30; ++level) {
    run.Key("C");
    ASSERT_TRUE(run.WaitForLog("Culling turned on (level=" + std::to_string(level) + ")\n")) << run.Log();
  }
  run.Key("C");
  ASSERT_TRUE(run.WaitForLog("Culling turned off (level=0)\n"));
  run.Key("c");
  ASSERT_TRUE(run.WaitForLogCount("Culling turned on (level=30)\n", 2));
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
  EXPECT_EQ(run.Log().find("SpeedUp halved to: 0"), std::string::npos);
  EXPECT_EQ(run.Log().find("halved"), run.Log().rfind("halved"));
}

// Presses [ and returns the size of the capture it wrote, number index.
std::pair<int, int> Capture(QuorvaneRun& run, int index) {
  char name[16];
  std::snprintf(name, sizeof name, "quor%04d.png", index);
  const std::string path = run.PathOf(name);
  run.Key("bracketleft");
  e2e::WaitFor([&] { return PngSize(path).first > 0; });
  return PngSize(path);
}

TEST(ControlsEndToEnd, CapturesFollowTheWindowSizeThroughFullScreen) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  int index = 0;
  EXPECT_EQ(Capture(run, index++), std::make_pair(640, 480));
  run.Key("F");
  // The window manager-less Xvfb resizes the window to its 1280 x 1024 screen; the new size
  // reaches the program asynchronously.
  std::pair<int, int> size;
  for (int attempt = 0; attempt < 20 && size.first != 1280; ++attempt) size = Capture(run, index++);
  EXPECT_EQ(size, std::make_pair(1280, 1024));
  run.Key("f");
  for (int attempt = 0; attempt < 20 && size.first != 640; ++attempt) size = Capture(run, index++);
  EXPECT_EQ(size, std::make_pair(640, 480));
  run.Key("q");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// Presses [ and reads the capture back once it is completely written.
e2e::GreyImage CaptureImage(QuorvaneRun& run, int index) {
  char name[16];
  std::snprintf(name, sizeof name, "quor%04d.png", index);
  run.Key("bracketleft");
  e2e::GreyImage image;
  e2e::WaitFor([&] {
    image = e2e::ReadGreyCapture(run.PathOf(name));
    return image.width > 0;
  });
  return image;
}

// Grey value of one pixel of a capture (row 0 is the top of the window).
int CapturePixel(const std::string& path, int x, int y) {
  int width = 0, height = 0, channels = 0;
  unsigned char* pixels = nullptr;
  if (!ReadImagePng(path.c_str(), 1 << 14, &width, &height, &channels, &pixels)) return -1;
  const int value = pixels[static_cast<size_t>(y) * width + x];
  delete[] pixels;
  return value;
}

TEST(ControlsEndToEnd, NumberKeysSwitchCameras) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  int index = 0;
  // Captures until one shows what is expected: the redraw after a key may still be on its way.
  auto captureUntil = [&](const std::function<bool(const std::string&)>& expected) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      char name[16];
      std::snprintf(name, sizeof name, "quor%04d.png", index);
      Capture(run, index++);
      if (expected(run.PathOf(name))) return true;
    }
    return false;
  };
  // Camera 3 looks straight down on the whole terrain: white beside it, terrain in the middle.
  run.Key("3");
  EXPECT_TRUE(captureUntil([](const std::string& path) {
    return CapturePixel(path, 2, 240) == 255 && CapturePixel(path, 320, 240) != 255;
  }));
  // Camera 2 looks down on camera 0's centre point, 0.8 ahead along +x, near the terrain's
  // east edge: terrain on the left, white beyond the edge on the right.
  run.Key("2");
  EXPECT_TRUE(captureUntil([](const std::string& path) {
    return CapturePixel(path, 2, 240) != 255 && CapturePixel(path, 637, 240) == 255;
  }));
  // Camera 1 is the flown view: sky at the top.
  run.Key("1");
  EXPECT_TRUE(captureUntil([](const std::string& path) { return CapturePixel(path, 320, 0) == 153; }));
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// The flown camera looks level, so the top of its picture is sky. Widening its view stops short of
// 180 degrees, beyond which the picture would turn over and show the ground at the top.
TEST(ControlsEndToEnd, WideningTheViewStopsBeforeThePictureTurnsOver) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  for (int press = 0; press < 40; ++press) run.Key("minus");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const e2e::GreyImage picture = CaptureImage(run, 0);
  ASSERT_EQ(picture.width, 640);
  int skyAtTheTop = 0, terrain = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) {
      if (y < picture.height / 4) skyAtTheTop += picture.At(x, y) == 153;
      terrain += picture.At(x, y) != 153;
    }
  EXPECT_EQ(skyAtTheTop, picture.width * picture.height / 4);
  EXPECT_GT(terrain, 0);
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// Waits until the window, as the X server shows it, is full screen (wider than 640) or, when
// not, back at most 640 wide and showing terrain (not the sky's 153) at the bottom centre. (Full
// screen moves the window; without a window manager it comes back partly off the screen, and
// the server shows only the part on it, which ends at the window's bottom row.)
bool WaitForWindowPicture(QuorvaneRun& run, bool fullScreen) {
  return e2e::WaitFor(
      [&] {
        const e2e::GreyImage shown = run.WindowGreen();
        if (fullScreen) return shown.width > 640;
        return shown.width > 0 && shown.width <= 640 && shown.At(shown.width / 2, shown.height - 2) != 153;
      },
      e2e::Seconds(20));
}

// Leaving full screen resizes the window, whose contents are then undefined: it is drawn again
// although the camera has not moved.
TEST(ControlsEndToEnd, LeavingFullScreenDrawsTheTerrainAgain) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  ASSERT_TRUE(WaitForWindowPicture(run, false));
  for (int round = 0; round < 4; ++round) {
    run.Key("F");
    ASSERT_TRUE(WaitForWindowPicture(run, true)) << "round " << round;
    run.Key("f");
    EXPECT_TRUE(WaitForWindowPicture(run, false)) << "round " << round;
  }
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// Once the view is still, a capture is exactly what the window shows.
TEST(ControlsEndToEnd, CaptureEqualsTheWindowsPicture) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  // The eye settles onto its clearance over a few seconds after start-up; wait until two
  // pictures of the window a moment apart agree.
  e2e::GreyImage shown;
  ASSERT_TRUE(e2e::WaitFor([&] {
    const e2e::GreyImage before = run.WindowGreen();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    shown = run.WindowGreen();
    return shown.width == 640 && shown.pixels == before.pixels;
  }));
  const e2e::GreyImage captured = CaptureImage(run, 0);
  ASSERT_EQ(captured.width, shown.width);
  ASSERT_EQ(captured.height, shown.height);
  int differing = 0;
  for (size_t i = 0; i < shown.pixels.size(); ++i) differing += shown.pixels[i] != captured.pixels[i];
  EXPECT_EQ(differing, 0);
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

}  // namespace
