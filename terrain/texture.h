#pragma once
#include <memory>

#include "app/platform/failure.h"
#include "app/platform/log_sink.h"
#include "terrain/height_field.h"

// The terrain texture, stretched once over the unit square: a user image or the generated
// slope shading.
struct TextureImage {
  std::unique_ptr<unsigned char[]> texels;  // side x side texels, row after row, channels bytes each
  int side = 0;                             // a power of two
  int channels = 0;                         // 1 grey (uploaded as luminance) or 3 RGB
};

// Largest texture side accepted from a file.
constexpr int kMaxTextureSide = 16384;

// Loads an 8-bit grey or RGB PNG whose side is a power of two. Prints "Loading texture map
// <path>.\n" on the console first; an unreadable file fails with "Error reading <path>\n", a
// side that is not a power of two or not square with "<path> has bad image dimensions W x H\n",
// both for standard output and with status 1.
Result<TextureImage> LoadTexture(const char* path, LogSink& console);

// True for the dimensions LoadTexture accepts: square, side a power of two.
bool TextureSideAccepted(int width, int height);

// One grey texel per grid cell of the (N+1)^2 samples: the cell's slope, from the heights
// sample x (65535 / verticalScale), lit from +x, +y and above. Flat cells get 168.
TextureImage MakeShadingTexture(const HeightSample* samples, int N, float verticalScale);

// The largest texture side the GL takes.
int MaxTextureSide();

// Uploads the image as texture object 1 with a full mipmap chain, compressed level by level when
// compressed is set. A texture wider than maxSide is scaled down by halves until it fits, on both
// paths. A failed mipmap build fails with "glu Error building Mipmaps\n" and status 1.
Status UploadTexture(const TextureImage& image, bool compressed, int maxSide);
