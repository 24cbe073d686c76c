// One session that touches every feature in turn: fly, switch methods both ways, change the
// aggregation level and builder, every wireframe mode, statistics, a capture, Esc. In the
// sanitized build this is the run that must end cleanly with no sanitizer report.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

// What AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer print when they find
// something.
bool HasSanitizerReport(const std::string& text) {
  return text.find("AddressSanitizer") != std::string::npos || text.find("LeakSanitizer") != std::string::npos ||
         text.find("runtime error:") != std::string::npos;
}

void Fly(QuorvaneRun& run, int x, int y, int milliseconds) {
  run.MouseMove(x, y);
  run.MouseDown();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  run.MouseUp();
}

TEST(FullTourEndToEnd, EveryFeatureOnceThenACleanExit) {
  QuorvaneRun run;
  run.Start();
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  Fly(run, 320, 60, 1000);
  Fly(run, 120, 200, 500);

  run.Key("D");
  ASSERT_TRUE(run.WaitForStdout("Using Standard ROAM drawing method\n")) << run.Stdout() << run.Stderr();
  Fly(run, 500, 100, 700);
  run.Key("D");
  ASSERT_TRUE(e2e::WaitFor([&] {
    const std::string out = run.Stdout();
    return out.find("Using CABTT drawing method\n", out.find("Using Standard ROAM drawing method\n")) !=
           std::string::npos;
  })) << run.Stdout() << run.Stderr();

  run.Key("less");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 3 (adaptive):\n")) << run.Stdout() << run.Stderr();
  run.Key("greater");
  run.Key("greater");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 5 (adaptive):\n")) << run.Stdout() << run.Stderr();
  run.Key("slash");
  ASSERT_TRUE(run.WaitForStdout("Aggregation level 5 (uniform):\n")) << run.Stdout() << run.Stderr();

  for (int mode = 1; mode <= 4; ++mode) {
    run.Key("W");
    Fly(run, 320, 100, 300);
  }
  run.Key("S");
  ASSERT_TRUE(run.WaitForLog(" frames in ")) << run.Log();
  run.Key("bracketleft");
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::FileExists(run.PathOf("quor0000.png")); }));

  run.Key("Escape");
  EXPECT_EQ(run.WaitForExit(), 0) << run.Stderr();
  EXPECT_FALSE(HasSanitizerReport(run.Stderr())) << run.Stderr();
  EXPECT_NE(run.Log().find(" aggregate tris per frame"), std::string::npos) << run.Log();
}

}  // namespace
