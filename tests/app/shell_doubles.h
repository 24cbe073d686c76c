#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/clock.h"
#include "app/shell.h"
#include "app/view/draw_method.h"
#include "app/window_system.h"

// The shell's surroundings replaced, so that its logic runs in tests without a GLUT window.

// Milliseconds the test sets; sleeps are recorded, not slept.
class FakeClock final : public Clock {
 public:
  uint32_t Milliseconds() override { return now; }
  void Sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }

  uint32_t now = 1000;
  std::vector<uint32_t> sleeps;
};

// Counts what the program asks of the window.
class RecordingWindowSystem final : public WindowSystem {
 public:
  void PostRedisplay() override { ++redisplays; }
  void SwapBuffers() override { ++swaps; }
  void FullScreen() override { ++fullScreens; }
  void ReshapeWindow(int width, int height) override { reshapes.emplace_back(width, height); }

  int redisplays = 0;
  int swaps = 0;
  int fullScreens = 0;
  std::vector<std::pair<int, int>> reshapes;
};

// A drawing method that writes "+name" and "-name" to a journal shared by all stubs when it is
// activated and deactivated. Its Draw clears the picture to the grey `shade` (so a capture shows
// whether it drew), adds `triangles` and `bytes` to the frame statistics and counts one split;
// its own key `ownKey` changes the picture. Each step fails with the failure set for it.
class StubMethod final : public DrawMethod {
 public:
  StubMethod(std::string name, std::string& journal) : name_(std::move(name)), journal_(journal) {}

  Status Activate(const FrameView& view) override;
  Status Draw(const FrameView& view, FrameStats& stats) override;
  void Deactivate() override;
  Result<bool> HandleKey(unsigned char key, const FrameView& view) override;
  void PrintStats(LogSink& log, const FrameStats& stats) const override;
  MethodCounters& Counters() override { return counters; }

  float shade = 0.6f;
  double triangles = 10.0;
  double bytes = 180.0;
  unsigned char ownKey = 0;
  std::string keysSeen;
  bool announceDeactivation = false;  // also writes "-name" to standard error
  std::optional<Failure> activateFailure;
  std::optional<Failure> drawFailure;
  std::optional<Failure> keyFailure;
  MethodCounters counters;

 private:
  std::string name_;
  std::string& journal_;
};

// A shell over a flat 17 x 17 terrain with the fake clock, the recording window, and the Terrain
// log kept in memory.
class TestShell {
 public:
  TestShell();
  ~TestShell();
  TestShell(const TestShell&) = delete;
  TestShell& operator=(const TestShell&) = delete;

  // Adds a stub method to the shell's table (not made current).
  StubMethod& AddMethod(const std::string& name);
  // The Terrain log so far.
  std::string Log() const;
  // One idle step after the clock advanced by milliseconds.
  void Idle(uint32_t milliseconds);

  FakeClock clock;
  RecordingWindowSystem window;
  std::string journal;
  Shell shell;

 private:
  char* logText_ = nullptr;
  size_t logSize_ = 0;
};
