#pragma once
#include <cstdint>
#include <vector>

// Pictures of the current GL context and how far one is from a reference picture.

// The colour buffer of the current context as tightly packed 8-bit RGB, bottom row first. The
// pack alignment is restored afterwards.
std::vector<uint8_t> ReadFrameRgb(int width, int height);

struct ImageDifference {
  double psnr;            // dB over all RGB channel values, peak 255; +infinity when identical
  double differingShare;  // share of pixels with any channel off by more than the threshold
};

// a and b are tightly packed 8-bit RGB of the same size, rows of width * 3 bytes. An empty
// picture (width or height 0 or less) counts as identical.
ImageDifference CompareImages(const uint8_t* a, const uint8_t* b, int width, int height, int threshold);
