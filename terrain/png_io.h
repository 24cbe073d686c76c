#pragma once
#include <cstdio>

#include "terrain/height_field.h"

// How reading a 16-bit grey image ended.
enum class PngReadResult {
  kRead,        // samples, width and height filled in
  kUnreadable,  // missing, damaged, or not a single-channel 16-bit grey PNG
  kTooLarge,    // width or height above the limit: only the header was read
};

// Reads a single-channel 16-bit grey PNG. On kRead, *samples is a new[] array of width x height
// samples, row 0 (the file's first row) first, in host byte order. An image wider or taller than
// maxSide is refused from its header alone, before anything is decoded or allocated; width and
// height then hold the header's dimensions. *samples is null unless the result is kRead.
PngReadResult ReadGreyPng16(const char* path, int maxSide, int* width, int* height, HeightSample** samples);

// The same from a file open at its start (the header is read first, then the file rewound). The
// file stays open for the caller to close.
PngReadResult ReadGreyPng16(FILE* file, int maxSide, int* width, int* height, HeightSample** samples);

// Reads an 8-bit grey or RGB PNG (16-bit images are stripped to 8 bits, small depths unpacked).
// Returns false, with *texels null, for any other layout or a damaged or missing file; sides above
// maxSide are refused before decoding. *texels is a new[] array of width x height x channels bytes.
bool ReadImagePng(const char* path, int maxSide, int* width, int* height, int* channels,
                  unsigned char** texels);
bool ReadImagePng(FILE* file, int maxSide, int* width, int* height, int* channels, unsigned char** texels);

// Writes width x height bytes, row 0 first, as an 8-bit grey PNG. False if the file cannot be
// created or written.
bool WriteGreyPng(const char* name, int width, int height, const unsigned char* pixels);

// Writes width x height red, green, blue byte triples, row 0 first, as an 8-bit RGB PNG.
bool WriteRgbPng(const char* name, int width, int height, const unsigned char* pixels);

// Writes width x height samples, row 0 first, as a 16-bit grey PNG, with zlib's compression level
// (0 to 9; -1 for zlib's default).
bool WriteGrey16Png(const char* name, int width, int height, const HeightSample* samples,
                    int compressionLevel = -1);
