#pragma once
#include <cstdint>

// How far a picture is from a reference picture of the same size.
struct ImageDifference {
  double psnr;            // dB over all RGB channel values, peak 255; +infinity when identical
  double differingShare;  // share of pixels with any channel off by more than the threshold
};

// a and b are tightly packed 8-bit RGB, rows of width * 3 bytes. An empty picture (width or
// height 0 or less) counts as identical.
ImageDifference CompareImages(const uint8_t* a, const uint8_t* b, int width, int height, int threshold);
