#pragma once
// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include <cstdint>

struct ImageDifference {
  double psnr;
  double differingShare;
};

ImageDifference CompareImages(const uint8_t* a, const uint8_t* b, int width, int height, int threshold);
