#pragma once
// The shell's surroundings replaced, so that its logic runs in tests without a GLUT window.
#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/frame_loop.h"
#include "app/shell.h"
#include "support/test_terrain.h"

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

// A drawing method that writes "+name" and "-name" to a journal shared by the stubs when it is
// activated and deactivated (and "-name" to standard error when announcing). Draw clears the
// picture to the grey `shade`, so that a capture shows whether it drew, adds `triangles` and
// `bytes` to the statistics and counts one split; `ownKey` changes the picture. Each step fails
// with the failure set for it.
class StubMethod final : public DrawMethod {
 public:
  StubMethod(std::string name, std::string& journal) : name_(std::move(name)), journal_(journal) {}

  Status Activate(const FrameView&) override {
    journal_ += "+" + name_;
    return activateFailure ? Status(*activateFailure) : Status();
  }
  Status Draw(const FrameView&, FrameStats& stats) override {
    if (drawFailure) return *drawFailure;
    glClearColor(shade, shade, shade, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    stats.triangles += triangles;
    stats.bytes += bytes;
    counters.splits += 1;
    return {};
  }
  void Deactivate() override {
    journal_ += "-" + name_;
    if (announceDeactivation) std::fprintf(stderr, "-%s", name_.c_str());
  }
  Result<bool> HandleKey(unsigned char key, const FrameView&) override {
    keysSeen += static_cast<char>(key);
    if (keyFailure) return *keyFailure;
    return key == ownKey;
  }
  void PrintStats(LogSink& log, const FrameStats&) const override { log.Logf("method %s line\n", name_.c_str()); }
  MethodCounters& Counters() override { return counters; }

  float shade = 0.6f;
  double triangles = 10.0;
  double bytes = 180.0;
  unsigned char ownKey = 0;
  std::string keysSeen;
  bool announceDeactivation = false;
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
  TestShell() {
    shell.clock = &clock;
    shell.window = &window;
    shell.log.SetFile(open_memstream(&logText_, &logSize_));
    shell.terrain.emplace(TerrainOf(FlatField(4, 1000)));
    shell.idlePreviousTime = clock.now * 0.001;
  }
  ~TestShell() {
    std::fclose(shell.log.file());
    shell.log.SetFile(nullptr);
    std::free(logText_);
  }
  TestShell(const TestShell&) = delete;
  TestShell& operator=(const TestShell&) = delete;

  // Adds a stub method to the shell's table (not made current).
  StubMethod& AddMethod(const std::string& name) {
    shell.methods.push_back(std::make_unique<StubMethod>(name, journal));
    return static_cast<StubMethod&>(*shell.methods.back());
  }
  std::string Log() const { return logText_ != nullptr ? std::string(logText_, logSize_) : std::string(); }
  // One idle step after the clock advanced by milliseconds.
  void Idle(uint32_t milliseconds) {
    clock.now += milliseconds;
    IdleStep(shell);
  }

  FakeClock clock;
  RecordingWindowSystem window;
  std::string journal;
  Shell shell;

 private:
  char* logText_ = nullptr;
  size_t logSize_ = 0;
};
