// Feeds arbitrary bytes to the height-field reader and the loader's checks, as LoadHeightField
// does with a file, but from memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Opened read-only: the buffer is never written.
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  int width = -1;
  int height = -1;
  HeightSample* samples = nullptr;
  const PngReadResult result = ReadGreyPng16(file, kMaxHeightFieldSide, &width, &height, &samples);
  std::fclose(file);

  if (result != PngReadResult::kRead) {
    if (samples != nullptr) std::abort();  // failures hand nothing over
  } else {
    if (samples == nullptr || width < 1 || height < 1 || width > kMaxHeightFieldSide || height > kMaxHeightFieldSide)
      std::abort();
    // Every sample the reader promises must be inside its allocation.
    volatile unsigned sum = 0;
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < count; ++i) sum = sum + samples[i];
  }

  int n = -1;
  const HeightFieldCheck check = CheckHeightFieldImage(result, width, height, &n);
  if (check == HeightFieldCheck::kAccepted && (result != PngReadResult::kRead || width != height ||
                                               n < 0 || n > kMaxGridExponent || width != (1 << n) + 1))
    std::abort();
  if (result == PngReadResult::kTooLarge && check == HeightFieldCheck::kAccepted) std::abort();
  delete[] samples;
  return 0;
}
