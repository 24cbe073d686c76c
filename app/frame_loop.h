#pragma once
#include <cstdint>

// The six operations of a drawing method; any may be null.
struct DrawMethod {
  void (*activate)();
  void (*draw)();
  void (*deactivate)();
  void (*keyboard)(unsigned char key, int x, int y);
  void (*printStats)();
  void (*resetStats)();
};

struct FrameStats {
  uint32_t frames;
  double bytes;
  double triangles;
  uint32_t clockStart;
};

// Start-up fills two records; the headless benchmark adds its brute-force reference.
constexpr int kMaxDrawMethods = 3;
extern DrawMethod DrawMethods[kMaxDrawMethods];
extern int DrawMethodCount;
extern int CurrentDrawMethod;  // -1: none
extern FrameStats Stats;

// Idle clock.
extern double IdlePreviousTime;
extern double SmoothedFrameTime;

void DisplayFrame();

// Draws the current view again into the back buffer, as DisplayFrame does but without the swap
// and without counting it: the frame statistics and the methods' counters are put back. After a
// swap the back buffer's contents are undefined, so this is how a capture gets the picture.
void RedrawUncounted();
void IdleStep();
void SetDrawMethod(int index);
void PrintStats();
void ResetStats();
[[noreturn]] void Quit();

// Empties the draw-method table and the statistics and idle clocks (tests).
void ResetFrameLoop();
