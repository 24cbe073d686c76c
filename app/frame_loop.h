#pragma once
#include "app/platform/failure.h"
#include "app/shell.h"

// The frame loop: the program draws only when the view has changed, and measures how fast the
// current drawing method draws.

// GLUT's display: clears to the sky (white for the overhead cameras), lets the current method
// draw, counts the frame and records camera 0's pose (when recording), swaps. The method's failure comes back.
Status DisplayFrame(Shell& shell);

// Draws the current view again into the back buffer, as DisplayFrame does but without the swap
// and without counting it: the statistics and the method's counters are put back. After a swap
// the back buffer's contents are undefined, so this is how a capture gets the picture.
Status RedrawUncounted(Shell& shell);

// GLUT's idle step: measures and smooths the frame time, advances the flight by SpeedUp times a
// step factor clamped to between half and twice the smoothed frame; when nothing moved it sleeps
// 50 ms, else it moves the cameras and asks for a redisplay.
void IdleStep(Shell& shell);

// Makes a record of the table current (-1: none): the old one is deactivated first, then the
// new one activated for camera 0's eye. The same index again does nothing.
Status SetDrawMethod(Shell& shell, int index);

// The current method's lines, then "F frames in Tms = R frames/second, A triangles/frame" and
// "B bytes of bandwidth/frame", to the log.
void PrintStats(Shell& shell);

// Every method's counters and the run's statistics back to 0; the clock restarts.
void ResetStats(Shell& shell);
