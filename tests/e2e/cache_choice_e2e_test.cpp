// QUORVANE_CACHE seen from outside: the buffer-storage cache announced, flown with both methods and
// left cleanly; its picture identical to the system-memory cache's from the same view; a choice
// that cannot be had named in one line, the program running on the default cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(CacheChoiceEndToEnd, BufferCacheIsAnnouncedFlownWithBothMethodsAndLeftCleanly) {
  QuorvaneRun run;
  run.Start({}, {"QUORVANE_CACHE=buffer"});
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  EXPECT_NE(run.Stdout().find("GL buffer storage caching enabled\nUsing CABTT drawing method\n"), std::string::npos);
  // CABTT, then ROAM (D), then CABTT again (D): each activation takes a buffer of its own, and each
  // flies a second forward before S.
  const char* next[] = {"Using Standard ROAM drawing method\n", "Using CABTT drawing method\n"};
  for (int leg = 0; leg < 2; ++leg) {
    run.MouseMove(320, 60);
    run.MouseDown();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    run.MouseUp();
    run.Key("S");
    ASSERT_TRUE(run.WaitForLogCount(" frames in ", leg + 1)) << run.Log();
    const std::string log = run.Log();
    int frames = 0;
    std::sscanf(log.c_str() + log.rfind('\n', log.rfind(" frames in ")) + 1, "%d", &frames);
    EXPECT_GT(frames, 0) << "leg " << leg;
    run.Key("D");
    ASSERT_TRUE(run.WaitForLogCount(next[leg], leg + 1)) << run.Log();
  }
  EXPECT_TRUE(run.WaitForLogCount(" of video memory\n", 3)) << run.Log();
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
  EXPECT_EQ(Count(run.Log(), "Successfully got "), 3);
  EXPECT_EQ(Count(run.Log(), "Actually used "), 3) << "each deactivation gives its buffer back";
  EXPECT_EQ(run.Stderr(), "");
}

TEST(CacheChoiceEndToEnd, BufferCacheCapturesThePictureOfTheSystemMemoryCache) {
  e2e::GreyImage captures[2];
  for (int i = 0; i < 2; ++i) {
    QuorvaneRun run;
    run.Start({}, {i == 0 ? "QUORVANE_CACHE=system" : "QUORVANE_CACHE=buffer"});
    ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
    // Once the eye has settled (two looks at the window agree), the view drawn again (key 1).
    e2e::WaitFor([&] {
      const e2e::GreyImage before = run.WindowGreen();
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      return !before.pixels.empty() && run.WindowGreen().pixels == before.pixels;
    });
    run.Key("1");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    run.Key("bracketleft");
    e2e::WaitFor([&] { return (captures[i] = e2e::ReadGreyCapture(run.PathOf("quor0000.png"))).width > 0; });
    run.Key("q");
    EXPECT_EQ(run.WaitForExit(), 0);
  }
  ASSERT_EQ(captures[0].width, 640);
  ASSERT_EQ(captures[1].height, captures[0].height);
  EXPECT_TRUE(captures[1].pixels == captures[0].pixels);
  const auto sky = std::count(captures[0].pixels.begin(), captures[0].pixels.end(), 153);  // the sky's green
  EXPECT_LT(sky, static_cast<long>(captures[0].pixels.size() * 3 / 4)) << "mostly sky: the comparison says little";
}

TEST(CacheChoiceEndToEnd, AChoiceThatCannotBeHadIsOneLineAndTheDefaultCacheRuns) {
  const char* cases[][2] = {
      // Mesa under Xvfb has no NV extensions.
      {"QUORVANE_CACHE=video", "This GL cannot serve the video-memory cache: using the system-memory cache\n"},
      {"QUORVANE_CACHE=fastest", "Unknown cache 'fastest' (system, video or buffer): using the system-memory cache\n"},
  };
  for (const auto& c : cases) {
    QuorvaneRun run;
    run.Start({}, {c[0]});
    ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
    const std::string out = run.Stdout();
    EXPECT_EQ(Count(out, c[1]) + Count(run.Log(), c[1]), 2) << out;
    EXPECT_LT(out.find(c[1]), out.find("Caching disabled\nUsing CABTT drawing method\n")) << out;
    EXPECT_EQ(run.Log().find("of video memory"), std::string::npos);
    run.Key("q");
    EXPECT_EQ(run.WaitForExit(), 0);
  }
}

}  // namespace
