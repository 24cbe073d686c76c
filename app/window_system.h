#pragma once

// The few windowing calls that the program's logic makes, behind a layer so that tests can
// run that logic without a GLUT window. The default forwards to GLUT.
struct WindowSystem {
  void (*setKeyboardHandler)(void (*handler)(unsigned char key, int x, int y));
  void (*postRedisplay)();
  void (*swapBuffers)();
  void (*fullScreen)();
  void (*reshapeWindow)(int width, int height);
};

extern WindowSystem Window;

// Puts the GLUT implementation back (tests that replaced it).
void UseGlutWindowSystem();
