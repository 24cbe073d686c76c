#pragma once

// Running number of the next screen capture; never reset while the program runs.
extern int CaptureCounter;

// Draws the current view again (uncounted) and writes its green channel to "quorNNNN.png"; advances
// the counter.
void CaptureScreen();

// Reads the current read buffer (WindowWidth x WindowHeight) and writes it as a grey PNG.
void SaveWindowImage(const char* name);

// Puts the counter back to 0 (tests).
void ResetCapture();
