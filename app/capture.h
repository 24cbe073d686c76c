#pragma once

// Running number of the next screen capture; never reset while the program runs.
extern int CaptureCounter;

// Writes the window's green channel to "quorNNNN.png" and advances the counter.
void CaptureScreen();

// Reads the current window (WindowWidth x WindowHeight) and writes it as a grey PNG.
void SaveWindowImage(const char* name);

// Puts the counter back to 0 (tests).
void ResetCapture();
