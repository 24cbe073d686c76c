#pragma once
#include <memory>

#include "app/platform/failure.h"
#include "terrain/height_field.h"
#include "terrain/png_io.h"

// Largest accepted height-field side, 2^kMaxGridExponent + 1 samples.
constexpr int kMaxHeightFieldSide = (1 << kMaxGridExponent) + 1;

// The samples of a height-field file and its grid exponent: (2^n + 1)^2 samples, row 0 first.
struct HeightFieldImage {
  std::unique_ptr<HeightSample[]> samples;
  int n = 0;
};

// Reads the height-field PNG at path. A file that cannot be read, is not square, whose side is not
// 2^n + 1 or is above kMaxHeightFieldSide fails with its line for standard output ("Error
// reading FILE", "FILE not square (W x H)", "FILE not (2^n)+1 x (2^n)+1 (W x H)", the first
// three without a line end, or "FILE too large (W x H)\n") and status 1.
Result<HeightFieldImage> LoadHeightField(const char* path);

// n with side = 2^n + 1, or -1 if there is none.
int GridExponentOfSide(int side);

// What the loader makes of a height-field image, in the order the checks are made.
enum class HeightFieldCheck {
  kAccepted,
  kUnreadable,   // ReadGreyPng16 failed
  kNotSquare,    // width != height
  kNotGridSide,  // square, but the side is not 2^n + 1
  kTooLarge,     // a 2^n + 1 side above kMaxHeightFieldSide
};

// Checks the outcome of ReadGreyPng16 (with kMaxHeightFieldSide) and its dimensions; *n receives
// the grid exponent when the image is accepted.
HeightFieldCheck CheckHeightFieldImage(PngReadResult result, int width, int height, int* n);
