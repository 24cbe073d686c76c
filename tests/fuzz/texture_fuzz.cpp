// Feeds arbitrary bytes to the texture reader and the loader's dimension check, as LoadTexture
// does with a file, but from memory.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "terrain/png_io.h"
#include "terrain/texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Opened read-only: the buffer is never written.
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (file == nullptr) return 0;
  int width = -1;
  int height = -1;
  int channels = -1;
  unsigned char* texels = nullptr;
  const bool read = ReadImagePng(file, kMaxTextureSide, &width, &height, &channels, &texels);
  std::fclose(file);

  if (!read) {
    if (texels != nullptr) std::abort();  // failures hand nothing over
    return 0;
  }
  if (texels == nullptr || (channels != 1 && channels != 3) || width < 1 || height < 1 ||
      width > kMaxTextureSide || height > kMaxTextureSide)
    std::abort();
  // Every texel the reader promises must be inside its allocation.
  volatile unsigned sum = 0;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels);
  for (size_t i = 0; i < count; ++i) sum = sum + texels[i];
  if (TextureSideAccepted(width, height) && (width != height || (width & (width - 1)) != 0)) std::abort();
  delete[] texels;
  return 0;
}
