#pragma once
#include "app/platform/failure.h"
#include "app/shell.h"

// The window's input: keys, mouse and the window's size.

// A key: first the current method's own keys (CABTT's '<', '>' and '/'), then the general table
// (quit, statistics, speed, zoom, cameras, clearance, culling, draw method, full screen, pause,
// wireframe, capture). The quit keys come back as QuitRequest(); other failures as themselves.
Status OnKey(Shell& shell, unsigned char key);

// A new window size: stored, the projection set for it, and a redraw asked for (the window's
// contents are undefined after a resize).
void Reshape(Shell& shell, int width, int height);

// The left button steers while held; the pointer's position is kept as fractions of the window.
void OnMouseButton(Shell& shell, int button, int state, int x, int y);
void OnMouseMove(Shell& shell, int x, int y);
