#pragma once

// The few windowing calls that the program's logic makes, behind a layer so that tests can run
// that logic without a GLUT window.
struct WindowSystem {
  void (*postRedisplay)();
  void (*swapBuffers)();
  void (*fullScreen)();
  void (*reshapeWindow)(int width, int height);
};

// The calls forwarded to GLUT.
WindowSystem GlutWindowSystem();
