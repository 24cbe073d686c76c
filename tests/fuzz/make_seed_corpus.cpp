// Writes the fuzz seed corpus: <dir>/height_field and <dir>/texture, each with valid files of
// every layout its loader accepts and damaged variants of them. Usage: make_seed_corpus <dir>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Layout {
  uint32_t width;
  uint32_t height;
  int colorType;
  int bitDepth;
  bool interlaced = false;
  bool transparency = false;  // a tRNS chunk
};

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

void AppendToBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + length);
}

// A smooth picture (it compresses well) with a little pattern so that filters differ by row.
Bytes EncodePng(const Layout& layout) {
  const size_t rowBytes = (static_cast<size_t>(layout.width) * Channels(layout.colorType) * layout.bitDepth + 7) / 8;
  Bytes pixels(rowBytes * layout.height);
  for (size_t y = 0; y < layout.height; ++y)
    for (size_t x = 0; x < rowBytes; ++x)
      pixels[y * rowBytes + x] = static_cast<uint8_t>((x * 3 + y * 5) / 4 + ((x ^ y) & 1));
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows(layout.height);
  png_color palette[256];
  png_byte alphas[256];
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fprintf(stderr, "make_seed_corpus: libpng refused a %ux%u layout\n", layout.width, layout.height);
    std::exit(1);
  }
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colorType,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (layout.colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < 256; ++i) {
      palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i / 2)};
      alphas[i] = static_cast<png_byte>(255 - i);
    }
    png_set_PLTE(png, info, palette, 1 << layout.bitDepth);
    if (layout.transparency) png_set_tRNS(png, info, alphas, 1 << layout.bitDepth, nullptr);
  } else if (layout.transparency) {
    png_color_16 key = {0, 1, 2, 3, 1};
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  for (size_t y = 0; y < layout.height; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A PNG file as its chunks, for damaging them one at a time.
struct Chunk {
  std::string type;
  Bytes data;
  uint32_t crc;
};

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
}

void PutBigEndian32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t ChunkCrc(const Chunk& chunk) {
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.type.data()), 4);
  return static_cast<uint32_t>(crc32(crc, chunk.data.data(), static_cast<uInt>(chunk.data.size())));
}

std::vector<Chunk> SplitChunks(const Bytes& file) {
  std::vector<Chunk> chunks;
  for (size_t at = 8; at + 12 <= file.size();) {
    const uint32_t length = BigEndian32(&file[at]);
    Chunk chunk{std::string(file.begin() + at + 4, file.begin() + at + 8),
                Bytes(file.begin() + at + 8, file.begin() + at + 8 + length), BigEndian32(&file[at + 8 + length])};
    chunks.push_back(chunk);
    at += 12 + length;
  }
  return chunks;
}

// Chunks whose crc is 0 get their correct CRC; others keep the one they carry.
Bytes JoinChunks(const std::vector<Chunk>& chunks) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  for (const Chunk& chunk : chunks) {
    PutBigEndian32(out, static_cast<uint32_t>(chunk.data.size()));
    out.insert(out.end(), chunk.type.begin(), chunk.type.end());
    out.insert(out.end(), chunk.data.begin(), chunk.data.end());
    PutBigEndian32(out, chunk.crc == 0 ? ChunkCrc(chunk) : chunk.crc);
  }
  return out;
}

Chunk* Find(std::vector<Chunk>& chunks, const char* type) {
  for (Chunk& chunk : chunks)
    if (chunk.type == type) return &chunk;
  return nullptr;
}

// The file with its IHDR field at offset `field` (0 width, 4 height, 8 depth, 9 colour type,
// 10 compression, 11 filter, 12 interlace) replaced, its CRC made right again.
Bytes WithHeaderField(const Bytes& file, size_t field, uint32_t value, size_t fieldBytes) {
  std::vector<Chunk> chunks = SplitChunks(file);
  Chunk* header = Find(chunks, "IHDR");
  for (size_t i = 0; i < fieldBytes; ++i)
    header->data[field + i] = static_cast<uint8_t>(value >> (8 * (fieldBytes - 1 - i)));
  header->crc = 0;
  return JoinChunks(chunks);
}

class CorpusWriter {
 public:
  explicit CorpusWriter(std::filesystem::path dir) : dir_(std::move(dir)) {
    std::filesystem::create_directories(dir_);
  }

  void Write(const std::string& name, const Bytes& bytes) {
    FILE* file = std::fopen((dir_ / name).c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
      std::fprintf(stderr, "make_seed_corpus: cannot write %s\n", (dir_ / name).c_str());
      std::exit(1);
    }
  }

  // Damaged variants of one valid file: every way the header, the checksums and the stream can
  // be wrong.
  void WriteDamaged(const std::string& stem, const Bytes& valid) {
    for (size_t cut : {size_t{0}, size_t{7}, size_t{8}, size_t{20}, size_t{33}, size_t{41}, valid.size() / 2,
                       valid.size() - 13, valid.size() - 1})
      Write(stem + "_cut" + std::to_string(cut), Bytes(valid.begin(), valid.begin() + cut));

    for (const char* type : {"IHDR", "IDAT", "IEND"}) {
      std::vector<Chunk> chunks = SplitChunks(valid);
      Find(chunks, type)->crc ^= 0x5a5a5a5a;
      Write(stem + "_badcrc_" + type, JoinChunks(chunks));
    }
    const struct {
      const char* name;
      uint32_t value;
    } sides[] = {{"0", 0},           {"1", 1},         {"16384", 16384},         {"16385", 16385},
                 {"16386", 16386},   {"32769", 32769}, {"2p31m1", 0x7fffffffu}, {"2p31", 0x80000000u},
                 {"max", 0xffffffffu}};
    for (const auto& side : sides) {
      Write(stem + "_width" + side.name, WithHeaderField(valid, 0, side.value, 4));
      Write(stem + "_height" + side.name, WithHeaderField(valid, 4, side.value, 4));
      Write(stem + "_both" + side.name, WithHeaderField(WithHeaderField(valid, 0, side.value, 4), 4, side.value, 4));
    }
    Write(stem + "_depth3", WithHeaderField(valid, 8, 3, 1));
    Write(stem + "_colour5", WithHeaderField(valid, 9, 5, 1));
    Write(stem + "_compression1", WithHeaderField(valid, 10, 1, 1));
    Write(stem + "_filter1", WithHeaderField(valid, 11, 1, 1));
    Write(stem + "_interlace2", WithHeaderField(valid, 12, 2, 1));
    // Interlace flag set on a stream written without it: too little data for the passes.
    Write(stem + "_interlace_flag", WithHeaderField(valid, 12, 1, 1));

    std::vector<Chunk> chunks = SplitChunks(valid);
    Chunk* data = Find(chunks, "IDAT");
    Chunk savedData = *data;
    data->data[data->data.size() / 2] ^= 0xff;  // the deflate stream broken, checksums right
    data->crc = 0;
    Write(stem + "_zlib_damaged", JoinChunks(chunks));
    *data = savedData;
    data->data.back() ^= 0x01;  // the Adler-32 of the stream wrong
    data->crc = 0;
    Write(stem + "_adler", JoinChunks(chunks));
    *data = savedData;
    data->data.clear();
    data->crc = 0;
    Write(stem + "_idat_empty", JoinChunks(chunks));
    *data = savedData;

    std::vector<Chunk> noData;
    for (const Chunk& chunk : chunks)
      if (chunk.type != "IDAT") noData.push_back(chunk);
    Write(stem + "_no_idat", JoinChunks(noData));

    // The data split into one-byte IDAT chunks, then trailing garbage after IEND.
    std::vector<Chunk> split;
    for (const Chunk& chunk : chunks) {
      if (chunk.type != "IDAT") {
        split.push_back(chunk);
        continue;
      }
      for (uint8_t byte : chunk.data) split.push_back({"IDAT", {byte}, 0});
    }
    Write(stem + "_idat_bytes", JoinChunks(split));
    Bytes trailing = valid;
    trailing.insert(trailing.end(), {'g', 'a', 'r', 'b', 'a', 'g', 'e'});
    Write(stem + "_trailing", trailing);

    // An ancillary chunk claiming 4 GiB, and one too large to be kept.
    Bytes lying(valid.begin(), valid.begin() + 33);
    PutBigEndian32(lying, 0xfffffff0u);
    lying.insert(lying.end(), {'t', 'E', 'X', 't', 'a', 'b', 'c'});
    Write(stem + "_chunk_4gib", lying);
    std::vector<Chunk> withText = chunks;
    withText.insert(withText.begin() + 1, Chunk{"zTXt", Bytes(1 << 12, 'x'), 0});
    withText[1].data[7] = 0;
    Write(stem + "_ztxt", JoinChunks(withText));
  }

 private:
  std::filesystem::path dir_;
};

std::string Name(const Layout& layout) {
  static const char* const kTypes[] = {"grey", "?", "rgb", "palette", "greyalpha", "?", "rgba"};
  std::string name = std::string(kTypes[layout.colorType]) + std::to_string(layout.bitDepth) + "_" +
                     std::to_string(layout.width) + "x" + std::to_string(layout.height);
  if (layout.interlaced) name += "_adam7";
  if (layout.transparency) name += "_trns";
  return name;
}

// Every colour type at every bit depth PNG allows, with and without tRNS where it applies.
void WriteEveryLayout(CorpusWriter& writer, uint32_t side) {
  const struct {
    int colorType;
    std::vector<int> depths;
  } types[] = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
               {PNG_COLOR_TYPE_RGB, {8, 16}},
               {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},
               {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
               {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
  for (const auto& type : types)
    for (int depth : type.depths) {
      const Layout plain{side, side, type.colorType, depth};
      writer.Write(Name(plain), EncodePng(plain));
      if (type.colorType != PNG_COLOR_TYPE_GRAY_ALPHA && type.colorType != PNG_COLOR_TYPE_RGB_ALPHA) {
        Layout keyed = plain;
        keyed.transparency = true;
        writer.Write(Name(keyed), EncodePng(keyed));
      }
      Layout interlaced = plain;
      interlaced.interlaced = true;
      writer.Write(Name(interlaced), EncodePng(interlaced));
    }
}

void WriteHeightFieldSeeds(CorpusWriter& writer) {
  for (uint32_t side : {2u, 3u, 5u, 9u, 17u, 33u}) {
    const Layout layout{side, side, PNG_COLOR_TYPE_GRAY, 16};
    writer.Write(Name(layout), EncodePng(layout));
  }
  // Read, then refused by the checks: not square, not 2^n + 1, a single sample.
  for (const Layout& layout : {Layout{33, 17, PNG_COLOR_TYPE_GRAY, 16}, Layout{32, 32, PNG_COLOR_TYPE_GRAY, 16},
                               Layout{1, 1, PNG_COLOR_TYPE_GRAY, 16}, Layout{1, 257, PNG_COLOR_TYPE_GRAY, 16}})
    writer.Write(Name(layout), EncodePng(layout));
  WriteEveryLayout(writer, 17);
  writer.WriteDamaged("grey16_17x17", EncodePng({17, 17, PNG_COLOR_TYPE_GRAY, 16}));
  writer.WriteDamaged("grey16_17x17_adam7", EncodePng({17, 17, PNG_COLOR_TYPE_GRAY, 16, true}));
}

void WriteTextureSeeds(CorpusWriter& writer) {
  // The full-size textures: grey and RGB at 8 bits, and at 16 bits (stripped to 8).
  for (int colorType : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB})
    for (int depth : {8, 16}) {
      const Layout layout{512, 512, colorType, depth};
      writer.Write(Name(layout), EncodePng(layout));
    }
  // Read, then refused by the checks: not square, side not a power of two.
  for (const Layout& layout : {Layout{16, 8, PNG_COLOR_TYPE_RGB, 8}, Layout{12, 12, PNG_COLOR_TYPE_GRAY, 8},
                               Layout{1, 1, PNG_COLOR_TYPE_GRAY, 8}})
    writer.Write(Name(layout), EncodePng(layout));
  WriteEveryLayout(writer, 16);
  writer.WriteDamaged("rgb8_16x16", EncodePng({16, 16, PNG_COLOR_TYPE_RGB, 8}));
  writer.WriteDamaged("grey16_16x16_adam7", EncodePng({16, 16, PNG_COLOR_TYPE_GRAY, 16, true}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_corpus <directory>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  CorpusWriter heightField(root / "height_field");
  WriteHeightFieldSeeds(heightField);
  CorpusWriter texture(root / "texture");
  WriteTextureSeeds(texture);
  return 0;
}
