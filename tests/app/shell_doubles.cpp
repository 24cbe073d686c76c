#include "shell_doubles.h"

#include <GL/gl.h>

#include <cstdlib>
#include <memory>

#include "app/frame_loop.h"
#include "support/test_terrain.h"

Status StubMethod::Activate(const FrameView& /*view*/) {
  journal_ += "+" + name_;
  if (activateFailure) return *activateFailure;
  return {};
}

Status StubMethod::Draw(const FrameView& /*view*/, FrameStats& stats) {
  if (drawFailure) return *drawFailure;
  glClearColor(shade, shade, shade, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  stats.triangles += triangles;
  stats.bytes += bytes;
  counters.splits += 1;
  return {};
}

void StubMethod::Deactivate() {
  journal_ += "-" + name_;
  if (announceDeactivation) std::fprintf(stderr, "-%s", name_.c_str());
}

Result<bool> StubMethod::HandleKey(unsigned char key, const FrameView& /*view*/) {
  keysSeen += static_cast<char>(key);
  if (keyFailure) return *keyFailure;
  return key == ownKey;
}

void StubMethod::PrintStats(LogSink& log, const FrameStats& /*stats*/) const {
  log.Logf("method %s line\n", name_.c_str());
}

TestShell::TestShell() {
  shell.clock = &clock;
  shell.window = &window;
  shell.log.SetFile(open_memstream(&logText_, &logSize_));
  shell.view = StartViewState(0.1f);
  shell.terrain.emplace(TerrainOf(FlatField(4, 1000)));
  shell.idlePreviousTime = clock.now * 0.001;
}

TestShell::~TestShell() {
  if (shell.log.file() != nullptr) std::fclose(shell.log.file());
  shell.log.SetFile(nullptr);
  std::free(logText_);
}

StubMethod& TestShell::AddMethod(const std::string& name) {
  auto method = std::make_unique<StubMethod>(name, journal);
  StubMethod& stub = *method;
  shell.methods.push_back(std::move(method));
  return stub;
}

std::string TestShell::Log() const { return std::string(logText_ != nullptr ? logText_ : "", logSize_); }

void TestShell::Idle(uint32_t milliseconds) {
  clock.now += milliseconds;
  IdleStep(shell);
}
