#pragma once
#include <string>

// An OpenGL context without a window: EGL with a pbuffer of the given size, desktop OpenGL
// (compatibility profile, for the fixed-function pipeline). Mesa's surfaceless platform first,
// then the default display, which is what a GPU driver's EGL offers. One context per process;
// asking again for another size replaces the pbuffer and keeps the context.
// Returns false with a one-line reason in *error when no context can be had.
bool MakeOffscreenContextCurrent(int width, int height, std::string* error);

// Size of the current pbuffer (0 x 0 before the first success).
int OffscreenWidth();
int OffscreenHeight();
