#include "support/hills_terrain_file.h"

#include <png.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/png_fixtures.h"

bool WriteHillsTerrainPng(const std::string& path, int n) {
  const int side = (1 << n) + 1;
  std::vector<uint8_t> bytes;
  bytes.reserve(2 * static_cast<size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const double u = static_cast<double>(x) / (side - 1);
      const double v = static_cast<double>(y) / (side - 1);
      const double hills = 0.5 + 0.25 * std::sin(7.0 * u + 1.0) * std::cos(5.0 * v) + 0.15 * std::sin(11.0 * (u + v));
      const double ripples = 0.04 * std::sin(0.9 * x * 1.7 + 0.3 * y) * std::cos(1.3 * y);
      const double height = std::fmin(1.0, std::fmax(0.0, hills + ripples));
      const auto sample = static_cast<uint16_t>(height * 65535.0);
      bytes.push_back(static_cast<uint8_t>(sample >> 8));
      bytes.push_back(static_cast<uint8_t>(sample & 0xff));
    }
  }
  return WriteRawPng(path, side, side, PNG_COLOR_TYPE_GRAY, 16, bytes);
}
