#pragma once
#include <cstdint>
#include <string>
#include <vector>

// PNG files of any layout for reader tests, written with libpng directly.

// Writes a PNG of the given libpng colour type and bit depth. bytes holds the rows as the file
// stores them (big-endian 16-bit samples), height x rowBytes; a palette image gets a grey
// 256-entry palette.
bool WriteRawPng(const std::string& path, int width, int height, int colorType, int bitDepth,
                 const std::vector<uint8_t>& bytes);

// Bytes per row of such an image.
size_t PngRowBytes(int width, int colorType, int bitDepth);

// A PNG of that layout whose bytes are a fixed pattern.
bool WritePatternPng(const std::string& path, int width, int height, int colorType, int bitDepth);

// Only the signature and a valid IHDR chunk: a header that promises an image with no data.
bool WritePngHeaderOnly(const std::string& path, uint32_t width, uint32_t height, int bitDepth,
                        int colorType);

// Cuts the file down to its first `size` bytes.
bool TruncateFile(const std::string& path, size_t size);

size_t FileSize(const std::string& path);
