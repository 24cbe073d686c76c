#pragma once
#include "terrain/height_field.h"

// The terrain texture, stretched once over the unit square: a user image or the generated
// slope shading.
struct TextureImage {
  unsigned char* texels;  // side x side texels, row after row, channels bytes each; owned (new[])
  int side;               // a power of two
  int channels;           // 1 grey (uploaded as luminance) or 3 RGB
};

extern TextureImage CurrentTexture;

// Heights for the shading texture only: sample x (65535 / vertical scale) for each of the
// (N+1)^2 grid vertices. Built at start-up before the texture is made, freed after the upload.
struct ShadingGrid {
  float* heights;  // owned (new[])
  int N;           // cells per side
};

extern ShadingGrid ShadingHeights;

void BuildShadingHeights(const HeightSample* samples, int N, float verticalScale);
void FreeShadingHeights();

// Largest texture side accepted from a file.
constexpr int kMaxTextureSide = 16384;

// Loads an 8-bit grey or RGB PNG whose side is a power of two as the CurrentTexture. Prints
// "Loading texture map <path>.\n"; an unreadable file or bad dimensions print one more line and
// end the process with status 1.
void LoadTexture(const char* path);

// True for the dimensions LoadTexture accepts: square, side a power of two.
bool TextureSideAccepted(int width, int height);

// One grey texel per grid cell from the ShadingHeights: the cell's slope lit from +x, +y and
// above. Flat cells get 168.
void MakeShadingTexture();

// The largest texture side the GL takes.
int MaxTextureSide();

// Uploads the CurrentTexture as texture object 1 with a full mipmap chain, compressed level by
// level when the GL offers texture compression. A texture wider than maxSide is scaled down by
// halves until it fits, on both paths. A failed mipmap build ends the process with status 1.
void UploadTexture(int maxSide = MaxTextureSide());

// Frees the CurrentTexture's texels.
void DestroyTexture();
