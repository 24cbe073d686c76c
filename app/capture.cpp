#include "app/capture.h"

#include <GL/gl.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "terrain/png_io.h"

int CaptureCounter = 0;

namespace {
char captureName[] = "quor0000.png";
}

void CaptureScreen() {
  const int c = CaptureCounter;
  captureName[4] = static_cast<char>('0' + (c / 1000) % 10);
  captureName[5] = static_cast<char>('0' + (c / 100) % 10);
  captureName[6] = static_cast<char>('0' + (c / 10) % 10);
  captureName[7] = static_cast<char>('0' + c % 10);
  RedrawUncounted();
  SaveWindowImage(captureName);
  CaptureCounter += 1;
}

void SaveWindowImage(const char* name) {
  const int w = WindowWidth;
  const int h = WindowHeight;
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

void ResetCapture() {
  CaptureCounter = 0;
  captureName[4] = captureName[5] = captureName[6] = captureName[7] = '0';
}
