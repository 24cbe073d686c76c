#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "support/terrain_log_capture.h"

// Records what the program asks of the window system and the clock, so that the shell's logic
// runs in tests without a GLUT window.
struct ShellRecord {
  int redisplays = 0;
  int swaps = 0;
  int fullScreens = 0;
  std::vector<std::pair<int, int>> reshapes;
  void (*keyboard)(unsigned char, int, int) = nullptr;
  std::vector<uint32_t> sleeps;
  uint32_t now = 1000;  // milliseconds returned by the test clock
};

extern ShellRecord Shell;

// Installs the window-system and clock doubles and empties the record.
void InstallShellDoubles();
// Puts GLUT and the system clock back.
void RemoveShellDoubles();
