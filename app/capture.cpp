#include "app/capture.h"

#include <GL/gl.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "app/frame_loop.h"
#include "terrain/png_io.h"

Status CaptureScreen(Shell& shell) {
  const int c = shell.captureCounter;
  char name[] = "quor0000.png";
  name[4] = static_cast<char>('0' + (c / 1000) % 10);
  name[5] = static_cast<char>('0' + (c / 100) % 10);
  name[6] = static_cast<char>('0' + (c / 10) % 10);
  name[7] = static_cast<char>('0' + c % 10);
  Status redrawn = RedrawUncounted(shell);
  if (!redrawn.ok()) return redrawn;
  SaveWindowImage(name, shell.view.windowWidth, shell.view.windowHeight);
  shell.captureCounter += 1;
  return {};
}

void SaveWindowImage(const char* name, int w, int h) {
  if (w <= 0 || h <= 0) return;
  std::vector<unsigned char> pixels(static_cast<size_t>(w) * h);
  glFinish();
  // Rows of exactly w bytes, whatever the width.
  GLint previousAlignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &previousAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_GREEN, GL_UNSIGNED_BYTE, pixels.data());
  glPixelStorei(GL_PACK_ALIGNMENT, previousAlignment);
  // The GL delivers the bottom row first; the file wants the top row first.
  for (int i = 0; i < h / 2; ++i) {
    unsigned char* top = &pixels[static_cast<size_t>(i) * w];
    unsigned char* bottom = &pixels[static_cast<size_t>(h - 1 - i) * w];
    for (int j = 0; j < w; ++j) std::swap(top[j], bottom[j]);
  }
  WriteGreyPng(name, w, h, pixels.data());
}
