#include "support/shell_doubles.h"

#include <cstdio>

#include "app/clock.h"
#include "app/terrain_log.h"
#include "app/window_system.h"

ShellRecord Shell;

namespace {
void RecordKeyboard(void (*handler)(unsigned char, int, int)) { Shell.keyboard = handler; }
void RecordRedisplay() { ++Shell.redisplays; }
void RecordSwap() { ++Shell.swaps; }
void RecordFullScreen() { ++Shell.fullScreens; }
void RecordReshape(int width, int height) { Shell.reshapes.emplace_back(width, height); }
uint32_t TestClock() { return Shell.now; }
void RecordSleep(uint32_t milliseconds) { Shell.sleeps.push_back(milliseconds); }
}  // namespace

void InstallShellDoubles() {
  Shell = ShellRecord{};
  Window = {RecordKeyboard, RecordRedisplay, RecordSwap, RecordFullScreen, RecordReshape};
  SetClockForTesting(TestClock);
  SetSleepForTesting(RecordSleep);
}

void RemoveShellDoubles() {
  UseGlutWindowSystem();
  SetClockForTesting(nullptr);
  SetSleepForTesting(nullptr);
}
