#pragma once
#include "app/platform/failure.h"
#include "app/shell.h"

// Key '[': draws the current view again (uncounted, since after a swap the back buffer's contents
// are undefined) and writes its green channel to "quorNNNN.png" in the working directory, NNNN
// the last four digits of the capture counter, which then advances. A file that cannot be
// written is skipped silently. The redraw's failure comes back.
Status CaptureScreen(Shell& shell);

// Reads width x height pixels of the read buffer and writes their green channel as an 8-bit grey
// PNG, top row first.
void SaveWindowImage(const char* name, int width, int height);
