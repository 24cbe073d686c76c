#include "terrain/height_field_loader.h"

#include <utility>

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

Result<HeightFieldImage> LoadHeightField(const char* path) {
  int width = 0;
  int height = 0;
  int n = -1;
  HeightSample* samples = nullptr;
  const PngReadResult result = ReadGreyPng16(path, kMaxHeightFieldSide, &width, &height, &samples);
  std::unique_ptr<HeightSample[]> owned(samples);
  switch (CheckHeightFieldImage(result, width, height, &n)) {
    case HeightFieldCheck::kAccepted:
      return HeightFieldImage{std::move(owned), n};
    case HeightFieldCheck::kUnreadable:
      return Failure{Format("Error reading %s", path)};
    case HeightFieldCheck::kNotSquare:
      return Failure{Format("%s not square (%d x %d)", path, width, height)};
    case HeightFieldCheck::kNotGridSide:
      return Failure{Format("%s not (2^n)+1 x (2^n)+1 (%d x %d)", path, width, height)};
    case HeightFieldCheck::kTooLarge:
      break;
  }
  return Failure{Format("%s too large (%d x %d)\n", path, width, height)};
}
