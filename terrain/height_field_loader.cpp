#include "terrain/height_field_loader.h"

#include <cstdio>

#include "app/fatal.h"
#include "terrain/png_io.h"

int GridExponentOfSide(int side) {
  for (int n = 0; n < 31; ++n) {
    if ((1LL << n) + 1 == side) return n;
  }
  return -1;
}

int LoadHeightField(const char* path, HeightSample** samples) {
  int width = 0;
  int height = 0;
  const PngReadResult result = ReadGreyPng16(path, kMaxHeightFieldSide, &width, &height, samples);
  if (result == PngReadResult::kUnreadable) {
    std::printf("Error reading %s", path);
    FatalExit(1);
  }
  // An oversized image still gets the dimension checks first; only its rows were never read.
  const int n = GridExponentOfSide(width);
  const bool square = width == height;
  if (!square || n < 0 || result == PngReadResult::kTooLarge) {
    delete[] *samples;
    *samples = nullptr;
    if (!square) {
      std::printf("%s not square (%d x %d)", path, width, height);
    } else if (n < 0) {
      std::printf("%s not (2^n)+1 x (2^n)+1 (%d x %d)", path, width, height);
    } else {
      std::printf("%s too large (%d x %d)\n", path, width, height);
    }
    FatalExit(1);
  }
  return n;
}
