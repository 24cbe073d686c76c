// The two drawing methods seen from outside: their messages, statistics and wireframe passes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

constexpr char kCabttHelp[] =
    "Using CABTT drawing method\n< and > change the aggregation level\n/ toggles adaptive aggregate triangles\n";

// The figures of the last statistics print in the log.
struct StatsLine {
  int frames = -1;
  double trianglesPerFrame = -1;
  double aggregatesPerFrame = -1;  // CABTT only
  double subTrianglesPerAggregate = -1;
};

StatsLine LastStats(const std::string& log) {
  StatsLine stats;
  const size_t common = log.rfind(" frames in ");
  if (common == std::string::npos) return stats;
  const size_t lineStart = log.rfind('\n', common) + 1;
  int elapsed = 0;
  double fps = 0;
  std::sscanf(log.c_str() + lineStart, "%d frames in %dms = %lf frames/second, %lf triangles/frame", &stats.frames,
              &elapsed, &fps, &stats.trianglesPerFrame);
  const size_t aggregate = log.rfind(" aggregate tris per frame", common);
  const size_t previousCommon = log.rfind(" frames in ", lineStart);
  if (aggregate != std::string::npos && (previousCommon == std::string::npos || aggregate > previousCommon)) {
    const size_t aggregateStart = log.rfind('\n', aggregate) + 1;
    std::sscanf(log.c_str() + aggregateStart, "%lf aggregate tris per frame, %lf", &stats.aggregatesPerFrame,
                &stats.subTrianglesPerAggregate);
  }
  return stats;
}

// Presses S until a period with no frames is reported: the view has settled.
bool WaitForStillView(QuorvaneRun& run) {
  return e2e::WaitFor([&] {
    run.Key("S");
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return LastStats(run.Log()).frames == 0;
  });
}

// Draws the still view again (key 1 re-selects camera 0 and asks for a redraw) and prints the
// figures of that period: one frame, or a few while the eye settles by less than a nanometre.
StatsLine OneFrame(QuorvaneRun& run) {
  const int prints = [&] {
    int count = 0;
    const std::string log = run.Log();
    for (size_t at = log.find(" frames in "); at != std::string::npos; at = log.find(" frames in ", at + 1)) ++count;
    return count;
  }();
  run.Key("1");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  run.Key("S");
  run.WaitForLogCount(" frames in ", prints + 1);
  return LastStats(run.Log());
}

TEST(MethodsEndToEnd, CabttStartsFirstAndItsKeysRebuild) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  const std::string out = run.Stdout();
  const size_t caching = out.find(std::string("Caching disabled\n") + kCabttHelp + "Aggregation level 4 (adaptive):\n");
  ASSERT_NE(caching, std::string::npos) << out;
  EXPECT_LT(caching, out.find("Esc, Q  Quit"));
  EXPECT_NE(run.Log().find("Caching disabled\nUsing CABTT drawing method\nAggregation level 4 (adaptive):\n"),
            std::string::npos);

  run.Key("greater");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 5 (adaptive):\n"));
  run.Key("less");
  run.Key("less");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 3 (adaptive):\n"));
  run.Key("slash");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 3 (uniform):\n"));
  ASSERT_TRUE(run.WaitForLog("Aggregation level 3 (uniform):\n"));

  run.Key("S");
  ASSERT_TRUE(run.WaitForLog(" frames in "));
  const std::string log = run.Log();
  const size_t tests = log.find(" merge tests, ");
  const size_t aggregates = log.find(" aggregate tris per frame, ");
  const size_t common = log.find(" frames in ");
  ASSERT_NE(tests, std::string::npos) << log;
  ASSERT_NE(aggregates, std::string::npos) << log;
  EXPECT_LT(tests, aggregates);
  EXPECT_LT(aggregates, common);
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

TEST(MethodsEndToEnd, DSwitchesToRoamAndBack) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  run.Key("D");
  ASSERT_TRUE(run.WaitForLog("Using Standard ROAM drawing method\n"));
  ASSERT_TRUE(run.WaitForStdout("Using Standard ROAM drawing method\n"));
  run.Key("S");
  ASSERT_TRUE(run.WaitForLog(" frames in "));
  const std::string log = run.Log();
  const size_t roam = log.find("Using Standard ROAM drawing method\n");
  const size_t roamLine = log.find(" merge tests, ", roam);
  ASSERT_NE(roamLine, std::string::npos) << log;
  EXPECT_EQ(log.find(" aggregate tris per frame", roam), std::string::npos) << log;
  EXPECT_LT(roamLine, log.find(" frames in ", roam));

  run.Key("d");
  const std::string again = std::string("Caching disabled\n") + kCabttHelp;
  ASSERT_TRUE(e2e::WaitFor([&] {
    const std::string text = run.Stdout();
    return text.find(again, text.find("Using Standard ROAM drawing method\n")) != std::string::npos;
  })) << run.Stdout();
  run.Key("q");
  EXPECT_EQ(run.WaitForExit(), 0);
}

TEST(MethodsEndToEnd, RoamDrawsWhileFlyingAndNothingWhileStill) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  run.Key("D");
  ASSERT_TRUE(run.WaitForLog("Using Standard ROAM drawing method\n"));
  ASSERT_TRUE(WaitForStillView(run)) << run.Log();
  // Hold the button with the pointer above the centre: fly forward.
  run.MouseMove(320, 60);
  run.MouseDown();
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  run.MouseUp();
  run.Key("S");
  ASSERT_TRUE(e2e::WaitFor([&] { return LastStats(run.Log()).frames > 0; })) << run.Log();
  const std::string log = run.Log();
  const size_t common = log.rfind(" frames in ");
  const size_t roamLine = log.rfind(" merge tests, ", common);
  ASSERT_NE(roamLine, std::string::npos);
  EXPECT_EQ(log.find('\n', roamLine), log.rfind('\n', common)) << "the ROAM line comes right before the common one";
  double splitTests = 0;
  std::sscanf(log.c_str() + log.find(" merges, ", roamLine) + 9, "%lf", &splitTests);
  EXPECT_GT(splitTests, 0.0) << log;
  ASSERT_TRUE(WaitForStillView(run)) << run.Log();
  run.Key("q");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// Holds the button with the pointer above the centre: flies forward for a while.
void FlyForward(QuorvaneRun& run, int milliseconds) {
  run.MouseMove(320, 60);
  run.MouseDown();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  run.MouseUp();
}

// Switches with D and waits for the new method's line on standard output (its count-th).
void SwitchMethod(QuorvaneRun& run, const std::string& line, int count) {
  run.Key("D");
  ASSERT_TRUE(e2e::WaitFor([&] {
    const std::string out = run.Stdout();
    int found = 0;
    for (size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) ++found;
    return found >= count;
  })) << run.Stdout();
}

// S resets every method's counters, and CABTT's sub-triangles per aggregate triangle are its own
// triangles: whatever was drawn before the switches, a print never shows more aggregate
// triangles per frame than the terrain has at level 4 (2 x 4^(10 - 4)), nor more than 4^4
// sub-triangles in one.
TEST(MethodsEndToEnd, StatisticsAfterSwitchingCoverOnlyTheirOwnPeriodAndMethod) {
  constexpr double kMostAggregates = 2.0 * 4096;
  constexpr double kMostSubTriangles = 256.0;
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  ASSERT_TRUE(WaitForStillView(run)) << run.Log();
  // CABTT counts a flight, then S while ROAM is current, then CABTT draws a still view: no more
  // than the next period's figures, which draws the same view.
  FlyForward(run, 1500);
  SwitchMethod(run, "Using Standard ROAM drawing method\n", 1);
  const StatsLine roamPrint = OneFrame(run);
  ASSERT_GE(roamPrint.frames, 0) << run.Log();
  SwitchMethod(run, kCabttHelp, 2);
  const StatsLine afterSwitch = OneFrame(run);
  ASSERT_GE(afterSwitch.frames, 1) << run.Log();
  const StatsLine clean = OneFrame(run);
  ASSERT_GE(clean.frames, 1) << run.Log();
  // The first period may also hold the frames that refine after the switch, which draw fewer
  // aggregate triangles (more on a loaded machine); another period's totals would add more.
  EXPECT_GT(afterSwitch.aggregatesPerFrame, 0.0) << run.Log();
  EXPECT_LE(afterSwitch.aggregatesPerFrame, 1.25 * clean.aggregatesPerFrame) << run.Log();
  EXPECT_LE(afterSwitch.aggregatesPerFrame, kMostAggregates) << run.Log();
  EXPECT_LE(afterSwitch.subTrianglesPerAggregate, kMostSubTriangles) << run.Log();

  // ROAM draws many triangles in the hidden-line mode; then CABTT a little, and S.
  SwitchMethod(run, "Using Standard ROAM drawing method\n", 2);
  run.Key("W");
  run.Key("W");
  FlyForward(run, 1500);
  SwitchMethod(run, kCabttHelp, 3);
  const StatsLine mixed = OneFrame(run);
  ASSERT_GE(mixed.frames, 1) << run.Log();
  EXPECT_GT(mixed.subTrianglesPerAggregate, 0.0) << run.Log();
  EXPECT_LE(mixed.subTrianglesPerAggregate, kMostSubTriangles) << run.Log();
  EXPECT_LE(mixed.aggregatesPerFrame, 2 * kMostAggregates) << run.Log();  // two passes
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0);
}

// '>' stops at the last level whose blocks 16-bit indices can address (8, on a terrain of side
// 513 where level 9 exists), says so, and the program goes on.
TEST(MethodsEndToEnd, LevelKeyStopsWhereBlocksOutgrowSixteenBitIndices) {
  QuorvaneRun run(false);
  int status = -1;
  e2e::RunCommand(std::string(MAKE_TERRAIN_BINARY) + " " + run.PathOf("def_hf.png") + " 513 3", &status);
  ASSERT_EQ(status, 0);
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  for (int level = 5; level <= 8; ++level) {
    run.Key("greater");
    ASSERT_TRUE(run.WaitForStdout("Aggregation level " + std::to_string(level) + " (adaptive):\n")) << run.Stdout();
  }
  run.Key("greater");
  const std::string refusal = "Aggregation level 9 needs more vertices per block than 16-bit indices reach";
  ASSERT_TRUE(run.WaitForStdout(refusal)) << run.Stdout() << run.Stderr();
  ASSERT_TRUE(run.WaitForLog(refusal)) << run.Log();
  EXPECT_EQ(run.Stdout().find("Aggregation level 9 ("), std::string::npos);
  run.Key("S");
  ASSERT_TRUE(run.WaitForLog(" frames in ")) << run.Log();
  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0) << run.Stdout();
}

// Wireframe modes 1 and 2 draw every leaf twice; 0 and 3 once.
void ExpectWireframePassesDouble(QuorvaneRun& run, bool cabtt) {
  ASSERT_TRUE(WaitForStillView(run)) << run.Log();
  const StatsLine single = OneFrame(run);
  ASSERT_GE(single.frames, 1) << run.Log();
  ASSERT_GT(single.trianglesPerFrame, 0);
  for (int mode = 1; mode <= 4; ++mode) {
    run.Key("W");
    const StatsLine stats = OneFrame(run);
    ASSERT_GE(stats.frames, 1) << run.Log();
    const double factor = (mode == 1 || mode == 2) ? 2.0 : 1.0;
    EXPECT_DOUBLE_EQ(stats.trianglesPerFrame, factor * single.trianglesPerFrame) << "mode " << mode % 4;
    if (cabtt) {
      EXPECT_DOUBLE_EQ(stats.aggregatesPerFrame, factor * single.aggregatesPerFrame) << "mode " << mode % 4;
    }
  }
}

TEST(MethodsEndToEnd, CabttWireframeModesOneAndTwoDrawTwice) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  ExpectWireframePassesDouble(run, true);
  run.Key("q");
  EXPECT_EQ(run.WaitForExit(), 0);
}

TEST(MethodsEndToEnd, RoamWireframeModesOneAndTwoDrawTwice) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  run.Key("D");
  ASSERT_TRUE(run.WaitForLog("Using Standard ROAM drawing method\n"));
  ExpectWireframePassesDouble(run, false);
  run.Key("q");
  EXPECT_EQ(run.WaitForExit(), 0);
}

}  // namespace
