#pragma once
#include "terrain/height_field.h"
#include "terrain/png_io.h"

// Largest accepted height-field side, 2^kMaxGridExponent + 1 samples.
constexpr int kMaxHeightFieldSide = (1 << kMaxGridExponent) + 1;

// Reads the height-field PNG at path and returns its grid exponent n; *samples receives the
// (2^n + 1)^2 samples (new[]), which the caller then owns. A file that cannot be read, is not
// square, whose side is not 2^n + 1 or is above kMaxHeightFieldSide prints one line on standard
// output and ends the process with status 1.
int LoadHeightField(const char* path, HeightSample** samples);

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
