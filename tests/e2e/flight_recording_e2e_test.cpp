// A flight flown by hand in the window, recorded with QUORVANE_RECORD_FLIGHT, replays in
// quorvane-bench with exactly the poses it flew; the recording appears under its name only when
// the program ends, whichever way it ends; an unwritable name costs one line and nothing else.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/view/flight_file.h"
#include "e2e/harness.h"

namespace {

using e2e::QuorvaneRun;

// Holds the button with the pointer at (x, y) of the 640 x 480 window for the time given.
void Fly(QuorvaneRun& run, int x, int y, int milliseconds) {
  run.MouseMove(x, y);
  run.MouseDown();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  run.MouseUp();
}

bool HasTemporaryFile(const QuorvaneRun& run) {
  for (const auto& entry : std::filesystem::directory_iterator(run.PathOf("")))
    if (entry.path().filename().string().find(".recording-") != std::string::npos) return true;
  return false;
}

TEST(FlightRecordingEndToEnd, AFlightFlownInTheWindowReplaysInTheBenchWithThePosesItFlew) {
  QuorvaneRun run;
  run.Start({}, {"QUORVANE_RECORD_FLIGHT=flown.csv"});
  ASSERT_TRUE(run.WaitForReady()) << run.Stdout() << run.Stderr();
  // Straight ahead (the pointer above the centre, in the dead zone of turning), then turning right.
  Fly(run, 320, 60, 1200);
  Fly(run, 600, 100, 800);
  EXPECT_FALSE(e2e::FileExists(run.PathOf("flown.csv"))) << "a recording takes its name only at the end";
  EXPECT_TRUE(HasTemporaryFile(run));
  run.Key("Escape");
  ASSERT_EQ(run.WaitForExit(), 0) << run.Stderr();
  EXPECT_EQ(run.Stderr(), "");
  EXPECT_FALSE(HasTemporaryFile(run));

  const Result<FlightPath> flown = ReadFlightCsv(run.PathOf("flown.csv"));
  ASSERT_TRUE(flown.ok()) << flown.failure().message;
  const FlightPath& poses = flown.value();
  ASSERT_GT(poses.size(), 10u);
  // From the start at the centre looking along +x, forward along +x, then turned.
  EXPECT_EQ(poses.front().x, 0.5f);
  EXPECT_EQ(poses.front().y, 0.5f);
  EXPECT_EQ(poses.front().heading, 0.0f);
  const auto straight = std::find_if(poses.begin(), poses.end(), [](const FlightPose& p) { return p.heading != 0; });
  ASSERT_NE(straight, poses.begin());
  EXPECT_GT((straight - 1)->x, 0.52f);
  EXPECT_EQ((straight - 1)->y, 0.5f);
  EXPECT_LT(poses.back().heading, -0.1f);  // the pointer right of the centre turns clockwise

  // The bench reads the file and flies those very poses: it writes back what it flies.
  const std::string command = "cd '" + run.PathOf("") + "' && '" QUORVANE_BENCH_BINARY
                              "' --terrain def_hf.png --flight flown.csv --methods roam --quality-every 0 --width 64 "
                              "--height 48 --write-flight replayed.csv --csv frames.csv >bench.txt 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadWholeFile(run.PathOf("bench.txt"));
  const Result<FlightPath> replayed = ReadFlightCsv(run.PathOf("replayed.csv"));
  ASSERT_TRUE(replayed.ok()) << replayed.failure().message;
  ASSERT_EQ(replayed.value().size(), poses.size());
  for (size_t i = 0; i < poses.size(); ++i) {
    EXPECT_EQ(replayed.value()[i].x, poses[i].x) << "pose " << i;
    EXPECT_EQ(replayed.value()[i].y, poses[i].y) << "pose " << i;
    EXPECT_EQ(replayed.value()[i].z, poses[i].z) << "pose " << i;
    EXPECT_EQ(replayed.value()[i].heading, poses[i].heading) << "pose " << i;
  }
  const std::string frames = ReadWholeFile(run.PathOf("frames.csv"));
  EXPECT_EQ(static_cast<size_t>(std::count(frames.begin(), frames.end(), '\n')), 1 + poses.size());
}

TEST(FlightRecordingEndToEnd, ARecordingEndsWithTheProgramHoweverItEndsAndAnUnwritableOneIsOneLine) {
  // Xlib ends the program when its connection goes: the exit handler still names the file.
  QuorvaneRun killed;
  killed.Start({}, {"QUORVANE_RECORD_FLIGHT=killed.csv"});
  ASSERT_TRUE(killed.WaitForReady()) << killed.Stdout() << killed.Stderr();
  Fly(killed, 320, 100, 500);
  killed.KillConnection();
  EXPECT_NE(killed.WaitForExit(), -1);
  const Result<FlightPath> recorded = ReadFlightCsv(killed.PathOf("killed.csv"));
  ASSERT_TRUE(recorded.ok()) << recorded.failure().message;
  EXPECT_GT(recorded.value().size(), 1u);
  EXPECT_FALSE(HasTemporaryFile(killed));

  QuorvaneRun unwritable;
  unwritable.Start({}, {"QUORVANE_RECORD_FLIGHT=no/such/dir/flight.csv"});
  ASSERT_TRUE(unwritable.WaitForReady()) << unwritable.Stdout() << unwritable.Stderr();
  Fly(unwritable, 300, 120, 300);  // elsewhere: a pointer already there waits for a motion that never comes
  unwritable.Key("q");
  EXPECT_EQ(unwritable.WaitForExit(), 0);
  EXPECT_EQ(unwritable.Stderr(), "cannot record the flight to no/such/dir/flight.csv: No such file or directory\n");
  EXPECT_FALSE(e2e::FileExists(unwritable.PathOf("no")));
}

}  // namespace
