// QUORVANE_CACHE seen from outside: the buffer-storage cache announced, flown with both methods and
// left cleanly; its picture identical to the system-memory cache's from the same view; a choice
// that cannot be had named in one line, the program running on the default cache.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

constexpr char kCabttHelp[] =
    "Using CABTT drawing method\n< and > change the aggregation level\n/ toggles adaptive aggregate triangles\n";

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Holds the button with the pointer above the centre for a second: flies forward.
void FlyForward(QuorvaneRun& run) {
  run.MouseMove(320, 60);
  run.MouseDown();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  run.MouseUp();
}

// Frames of the latest statistics print in the log, -1 before the first.
int LastFrames(const std::string& log) {
  const size_t common = log.rfind(" frames in ");
  if (common == std::string::npos) return -1;
  int frames = -1;
  std::sscanf(log.c_str() + log.rfind('\n', common) + 1, "%d", &frames);
  return frames;
}

TEST(CacheChoiceEndToEnd, BufferCacheIsAnnouncedFlownWithBothMethodsAndLeftCleanly) {
  QuorvaneRun run;
  run.Start({}, {"QUORVANE_CACHE=buffer"});
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  EXPECT_NE(run.Stdout().find(std::string("GL buffer storage caching enabled\n") + kCabttHelp), std::string::npos)
      << run.Stdout();
  const std::string log = run.Log();
  const size_t granted = log.find("Successfully got ");
  ASSERT_NE(granted, std::string::npos) << log;
  EXPECT_NE(log.find(" of video memory\n", granted), std::string::npos) << log;

  // CABTT, then ROAM (D), then CABTT again (D): each activation takes a buffer of its own.
  const char* switched[] = {"Using Standard ROAM drawing method\n", "Using CABTT drawing method\n"};
  for (int leg = 0; leg < 2; ++leg) {
    SCOPED_TRACE(leg == 0 ? "CABTT" : "Standard ROAM");
    const int prints = Count(run.Log(), " frames in ");
    FlyForward(run);
    run.Key("S");
    ASSERT_TRUE(e2e::WaitFor([&] {
      const std::string now = run.Log();
      return Count(now, " frames in ") > prints && LastFrames(now) > 0;
    })) << run.Log();
    run.Key("D");
    ASSERT_TRUE(run.WaitForLogCount(switched[leg], leg + 1)) << run.Log();
  }
  EXPECT_TRUE(run.WaitForLogCount("Successfully got ", 3)) << run.Log();
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
  // Each deactivation gives the buffer back: CABTT, ROAM, then CABTT again at the exit.
  EXPECT_EQ(Count(run.Log(), "Actually used "), 3) << run.Log();
  EXPECT_EQ(run.Stderr(), "");
}

// The view once the eye has settled, drawn again (key 1) and captured.
e2e::GreyImage SettledCapture(QuorvaneRun& run) {
  e2e::WaitFor([&] {
    const e2e::GreyImage before = run.WindowGreen();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return run.WindowGreen().pixels == before.pixels && !before.pixels.empty();
  });
  run.Key("1");
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  run.Key("bracketleft");
  e2e::GreyImage image;
  e2e::WaitFor([&] {
    image = e2e::ReadGreyCapture(run.PathOf("quor0000.png"));
    return image.width > 0;
  });
  return image;
}

TEST(CacheChoiceEndToEnd, BufferCacheCapturesThePictureOfTheSystemMemoryCache) {
  e2e::GreyImage captures[2];
  const char* choices[2] = {"QUORVANE_CACHE=system", "QUORVANE_CACHE=buffer"};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(choices[i]);
    QuorvaneRun run;
    run.Start({}, {choices[i]});
    ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
    captures[i] = SettledCapture(run);
    run.Key("q");
    EXPECT_EQ(run.WaitForExit(), 0);
  }
  ASSERT_EQ(captures[0].width, 640);
  ASSERT_EQ(captures[1].width, captures[0].width);
  ASSERT_EQ(captures[1].height, captures[0].height);
  int differing = 0, terrain = 0;
  for (size_t i = 0; i < captures[0].pixels.size(); ++i) {
    differing += captures[0].pixels[i] != captures[1].pixels[i];
    terrain += captures[0].pixels[i] != 153;  // the sky's green
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(terrain, 640 * 480 / 4) << "the capture shows little terrain: the comparison says little";
}

TEST(CacheChoiceEndToEnd, AChoiceThatCannotBeHadIsOneLineAndTheDefaultCacheRuns) {
  const struct {
    const char* setting;
    const char* line;
  } cases[] = {
      // Mesa under Xvfb has no NV extensions.
      {"QUORVANE_CACHE=video", "This GL cannot serve the video-memory cache: using the system-memory cache\n"},
      {"QUORVANE_CACHE=fastest", "Unknown cache 'fastest' (system, video or buffer): using the system-memory cache\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    QuorvaneRun run;
    run.Start({}, {c.setting});
    ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
    const std::string out = run.Stdout();
    EXPECT_EQ(Count(out, c.line), 1) << out;
    EXPECT_EQ(Count(run.Log(), c.line), 1) << run.Log();
    EXPECT_LT(out.find(c.line), out.find(std::string("Caching disabled\n") + kCabttHelp)) << out;
    EXPECT_EQ(run.Log().find("of video memory"), std::string::npos);
    run.Key("q");
    EXPECT_EQ(run.WaitForExit(), 0);
  }
}

}  // namespace
