#include "support/png_fixtures.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>

size_t PngRowBytes(int width, int colorType, int bitDepth) {
  int channels = 1;
  if (colorType == PNG_COLOR_TYPE_RGB) channels = 3;
  if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
  if (colorType == PNG_COLOR_TYPE_RGB_ALPHA) channels = 4;
  return (static_cast<size_t>(width) * channels * bitDepth + 7) / 8;
}

bool WriteRawPng(const std::string& path, int width, int height, int colorType, int bitDepth,
                 const std::vector<uint8_t>& bytes) {
  const size_t rowBytes = PngRowBytes(width, colorType, bitDepth);
  if (bytes.size() < rowBytes * height) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows(height);
  png_color palette[256];
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < 256; ++i) {
      const auto grey = static_cast<png_byte>(i);
      palette[i] = {grey, grey, grey};
    }
    png_set_PLTE(png, info, palette, 1 << bitDepth);
  }
  for (int row = 0; row < height; ++row) rows[row] = const_cast<png_bytep>(bytes.data()) + row * rowBytes;
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

bool WritePatternPng(const std::string& path, int width, int height, int colorType, int bitDepth) {
  std::vector<uint8_t> bytes(PngRowBytes(width, colorType, bitDepth) * height);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return WriteRawPng(path, width, height, colorType, bitDepth, bytes);
}

namespace {

void PutBigEndian32(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value >> 24);
  bytes[1] = static_cast<uint8_t>(value >> 16);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  bytes[3] = static_cast<uint8_t>(value);
}

}  // namespace

bool WritePngHeaderOnly(const std::string& path, uint32_t width, uint32_t height, int bitDepth, int colorType) {
  uint8_t bytes[33] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  PutBigEndian32(bytes + 8, 13);
  bytes[12] = 'I';
  bytes[13] = 'H';
  bytes[14] = 'D';
  bytes[15] = 'R';
  PutBigEndian32(bytes + 16, width);
  PutBigEndian32(bytes + 20, height);
  bytes[24] = static_cast<uint8_t>(bitDepth);
  bytes[25] = static_cast<uint8_t>(colorType);
  // compression, filter and interlace methods stay 0
  PutBigEndian32(bytes + 29, static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), bytes + 12, 17)));
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
  return std::fclose(file) == 0 && written;
}

bool TruncateFile(const std::string& path, size_t size) {
  std::error_code error;
  std::filesystem::resize_file(path, size, error);
  return !error;
}

size_t FileSize(const std::string& path) { return std::filesystem::file_size(path); }
