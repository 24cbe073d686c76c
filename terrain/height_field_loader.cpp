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

HeightFieldCheck CheckHeightFieldImage(PngReadResult result, int width, int height, int* n) {
  if (result == PngReadResult::kUnreadable) return HeightFieldCheck::kUnreadable;
  // An oversized image still gets the dimension checks first; only its rows were never read.
  if (width != height) return HeightFieldCheck::kNotSquare;
  *n = GridExponentOfSide(width);
  if (*n < 0) return HeightFieldCheck::kNotGridSide;
  if (result == PngReadResult::kTooLarge) return HeightFieldCheck::kTooLarge;
  return HeightFieldCheck::kAccepted;
}

int LoadHeightField(const char* path, HeightSample** samples) {
  int width = 0;
  int height = 0;
  int n = -1;
  const PngReadResult result = ReadGreyPng16(path, kMaxHeightFieldSide, &width, &height, samples);
  const HeightFieldCheck check = CheckHeightFieldImage(result, width, height, &n);
  if (check == HeightFieldCheck::kAccepted) return n;
  delete[] *samples;
  *samples = nullptr;
  switch (check) {
    case HeightFieldCheck::kUnreadable:
      std::printf("Error reading %s", path);
      break;
    case HeightFieldCheck::kNotSquare:
      std::printf("%s not square (%d x %d)", path, width, height);
      break;
    case HeightFieldCheck::kNotGridSide:
      std::printf("%s not (2^n)+1 x (2^n)+1 (%d x %d)", path, width, height);
      break;
    default:
      std::printf("%s too large (%d x %d)\n", path, width, height);
      break;
  }
  FatalExit(1);
}
