#include "terrain/png_io.h"

#include <png.h>
#include <zlib.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

// The byte-swapping transforms below turn big-endian PNG samples into host samples.
static_assert(std::endian::native == std::endian::little);

namespace {

// Ancillary chunks larger than this are refused, so a forged chunk length cannot drive an
// allocation.
constexpr png_alloc_size_t kChunkMallocMax = 8 * 1024 * 1024;

// libpng reports through these: nothing reaches the console, errors leave by the long jump.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

uint32_t BigEndian32(const unsigned char* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

struct PngHeader {
  uint32_t width;
  uint32_t height;
  int bitDepth;
  int colorType;
};

// Reads the signature and the IHDR chunk (checked against its CRC) and rewinds the file. Lets
// the readers refuse an image by its layout or size before libpng decodes or allocates anything.
bool ReadPngHeader(FILE* file, PngHeader* header) {
  unsigned char bytes[33];  // signature 8, chunk length 4, "IHDR" 4, fields 13, CRC 4
  if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return false;
  if (png_sig_cmp(bytes, 0, 8) != 0) return false;
  if (BigEndian32(bytes + 8) != 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
  if (crc32(crc32(0, nullptr, 0), bytes + 12, 17) != BigEndian32(bytes + 29)) return false;
  header->width = BigEndian32(bytes + 16);
  header->height = BigEndian32(bytes + 20);
  header->bitDepth = bytes[24];
  header->colorType = bytes[25];
  // PNG dimensions are 1 .. 2^31 - 1.
  if (header->width == 0 || header->height == 0 || header->width > 0x7fffffffu ||
      header->height > 0x7fffffffu)
    return false;
  std::rewind(file);
  return true;
}

png_structp CreateReader(int maxSide) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (png == nullptr) return nullptr;
  png_set_user_limits(png, static_cast<png_uint_32>(maxSide), static_cast<png_uint_32>(maxSide));
  png_set_chunk_malloc_max(png, kChunkMallocMax);
  return png;
}

// Copies rowBytes of every libpng row into one new[] array; null when memory runs out (an image
// near the size limit needs its size twice over while both copies exist).
unsigned char* CopyRows(png_structp png, png_infop info, size_t rowBytes, size_t height) {
  png_bytepp rows = png_get_rows(png, info);
  auto* pixels = new (std::nothrow) unsigned char[rowBytes * height];
  if (pixels == nullptr) return nullptr;
  for (size_t row = 0; row < height; ++row) std::memcpy(pixels + row * rowBytes, rows[row], rowBytes);
  return pixels;
}

// Writes height rows of rowBytes bytes each, starting at pixels, as a PNG of the colour type;
// compressionLevel -1 keeps zlib's default.
bool WriteRows(const char* name, int width, int height, int bitDepth, int colorType, const void* pixels,
               size_t rowBytes, int transforms, int compressionLevel = -1) {
  if (width <= 0 || height <= 0) return false;
  FILE* file = std::fopen(name, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  png_bytepp rows = info != nullptr
                        ? static_cast<png_bytepp>(png_malloc_warn(png, sizeof(png_bytep) * height))
                        : nullptr;
  if (rows == nullptr) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_free(png, rows);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
               colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  // libpng's rows are not const, but writing only reads them.
  auto* first = static_cast<unsigned char*>(const_cast<void*>(pixels));
  for (int row = 0; row < height; ++row) rows[row] = first + static_cast<size_t>(row) * rowBytes;
  png_set_rows(png, info, rows);
  if (compressionLevel >= 0) png_set_compression_level(png, compressionLevel);
  png_write_png(png, info, transforms, nullptr);
  png_free(png, rows);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

}  // namespace

PngReadResult ReadGreyPng16(FILE* file, int maxSide, int* width, int* height, HeightSample** samples) {
  *width = 0;
  *height = 0;
  *samples = nullptr;
  PngHeader header;
  if (!ReadPngHeader(file, &header) || header.bitDepth != 16 || header.colorType != PNG_COLOR_TYPE_GRAY)
    return PngReadResult::kUnreadable;
  if (header.width > static_cast<uint32_t>(maxSide) || header.height > static_cast<uint32_t>(maxSide)) {
    *width = static_cast<int>(header.width);
    *height = static_cast<int>(header.height);
    return PngReadResult::kTooLarge;
  }
  png_structp png = CreateReader(maxSide);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return PngReadResult::kUnreadable;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return PngReadResult::kUnreadable;
  }
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_SWAP_ENDIAN, nullptr);
  const bool grey16 = png_get_bit_depth(png, info) == 16 && png_get_color_type(png, info) == PNG_COLOR_TYPE_GRAY &&
                      png_get_channels(png, info) == 1;
  if (grey16) {
    *width = static_cast<int>(png_get_image_width(png, info));
    *height = static_cast<int>(png_get_image_height(png, info));
    *samples = reinterpret_cast<HeightSample*>(
        CopyRows(png, info, static_cast<size_t>(*width) * sizeof(HeightSample), static_cast<size_t>(*height)));
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return *samples != nullptr ? PngReadResult::kRead : PngReadResult::kUnreadable;
}

PngReadResult ReadGreyPng16(const char* path, int maxSide, int* width, int* height, HeightSample** samples) {
  *width = 0;
  *height = 0;
  *samples = nullptr;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return PngReadResult::kUnreadable;
  const PngReadResult result = ReadGreyPng16(file, maxSide, width, height, samples);
  std::fclose(file);
  return result;
}

bool ReadImagePng(FILE* file, int maxSide, int* width, int* height, int* channels, unsigned char** texels) {
  *texels = nullptr;
  // Grey below 8 bits would be unpacked without scaling (a black picture): refused, like every
  // layout other than grey or RGB.
  PngHeader header;
  if (!ReadPngHeader(file, &header) || header.bitDepth < 8 ||
      (header.colorType != PNG_COLOR_TYPE_GRAY && header.colorType != PNG_COLOR_TYPE_RGB) ||
      header.width > static_cast<uint32_t>(maxSide) || header.height > static_cast<uint32_t>(maxSide))
    return false;
  png_structp png = CreateReader(maxSide);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_read_png(png, info, PNG_TRANSFORM_STRIP_16 | PNG_TRANSFORM_PACKING, nullptr);
  const int imageChannels = png_get_channels(png, info);
  const int colorType = png_get_color_type(png, info);
  const bool accepted = ((imageChannels == 1 && colorType == PNG_COLOR_TYPE_GRAY) ||
                         (imageChannels == 3 && colorType == PNG_COLOR_TYPE_RGB)) &&
                        png_get_bit_depth(png, info) == 8;
  if (accepted) {
    *width = static_cast<int>(png_get_image_width(png, info));
    *height = static_cast<int>(png_get_image_height(png, info));
    *channels = imageChannels;
    *texels = CopyRows(png, info, static_cast<size_t>(*width) * imageChannels, static_cast<size_t>(*height));
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return *texels != nullptr;
}

bool ReadImagePng(const char* path, int maxSide, int* width, int* height, int* channels,
                  unsigned char** texels) {
  *texels = nullptr;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  const bool accepted = ReadImagePng(file, maxSide, width, height, channels, texels);
  std::fclose(file);
  return accepted;
}

bool WriteGreyPng(const char* name, int width, int height, const unsigned char* pixels) {
  return WriteRows(name, width, height, 8, PNG_COLOR_TYPE_GRAY, pixels, static_cast<size_t>(width),
                   PNG_TRANSFORM_IDENTITY);
}

bool WriteGrey16Png(const char* name, int width, int height, const HeightSample* samples, int compressionLevel) {
  return WriteRows(name, width, height, 16, PNG_COLOR_TYPE_GRAY, samples,
                   static_cast<size_t>(width) * sizeof(HeightSample), PNG_TRANSFORM_SWAP_ENDIAN, compressionLevel);
}

bool WriteRgbPng(const char* name, int width, int height, const unsigned char* pixels) {
  return WriteRows(name, width, height, 8, PNG_COLOR_TYPE_RGB, pixels, static_cast<size_t>(width) * 3,
                   PNG_TRANSFORM_IDENTITY);
}
