#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

constexpr char kKeyHelp[] =
    "Esc, Q  Quit               S       Status             \n"
    "+/-     Zoom in/out        1-3     Camera             \n"
    "P       Pause              W       Wireframe          \n"
    "D       Draw method        F       Full screen        \n"
    "A/Z     Up/Down            [       Screen capture     \n";

TEST(StartupEndToEnd, StartsPrintsHelpLogsStatisticsAndQuitsWithEscape) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  const std::string out = run.Stdout();
  const size_t loading = out.find("Loading height field def_hf.png.\n");
  const size_t metric = out.find("Pre-computing error metric\n");
  const size_t help = out.find(kKeyHelp);
  ASSERT_NE(loading, std::string::npos) << out;
  ASSERT_NE(metric, std::string::npos) << out;
  ASSERT_NE(help, std::string::npos) << out;
  EXPECT_LT(loading, metric);
  EXPECT_LT(metric, help);
  EXPECT_EQ(run.Log().rfind("\n-----------V4.0-------------\n", 0), 0u) << run.Log();

  run.Key("S");
  ASSERT_TRUE(run.WaitForLog("bytes of bandwidth/frame\n")) << run.Log();
  EXPECT_NE(run.Log().find(" frames in "), std::string::npos);
  // Once the eye has settled at its clearance the view is still: a period with no frames.
  EXPECT_TRUE(e2e::WaitFor([&] {
    run.Key("s");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return run.Log().find("\n0 frames in ") != std::string::npos;
  })) << run.Log();

  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

TEST(StartupEndToEnd, SecondRunAppendsToTheLog) {
  QuorvaneRun run;
  for (int i = 0; i < 2; ++i) {
    run.Start();
    ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
    run.Key("q");
    ASSERT_EQ(run.WaitForExit(), 0);
  }
  const std::string log = run.Log();
  const size_t first = log.find("\n-----------V4.0-------------\n");
  ASSERT_EQ(first, 0u);
  EXPECT_NE(log.find("\n-----------V4.0-------------\n", first + 1), std::string::npos) << log;
}

}  // namespace
