#include "tools/terrain_generator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// splitmix64: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

 private:
  uint64_t state_;
};

// Two-dimensional gradient noise on the integer lattice, about -1..1, 0 at lattice points.
class GradientNoise {
 public:
  explicit GradientNoise(Random& random) {
    for (int i = 0; i < 256; ++i) permutation_[i] = static_cast<uint8_t>(i);
    for (int i = 255; i > 0; --i) std::swap(permutation_[i], permutation_[random.Next() % (i + 1)]);
    for (int i = 0; i < 256; ++i) permutation_[i + 256] = permutation_[i];
  }

  double operator()(double x, double y) const {
    const double floorX = std::floor(x);
    const double floorY = std::floor(y);
    const int ix = static_cast<int>(floorX) & 255;
    const int iy = static_cast<int>(floorY) & 255;
    const double fx = x - floorX;
    const double fy = y - floorY;
    const double n00 = Dot(Hash(ix, iy), fx, fy);
    const double n10 = Dot(Hash(ix + 1, iy), fx - 1, fy);
    const double n01 = Dot(Hash(ix, iy + 1), fx, fy - 1);
    const double n11 = Dot(Hash(ix + 1, iy + 1), fx - 1, fy - 1);
    const double u = Fade(fx);
    const double v = Fade(fy);
    const double bottom = n00 + u * (n10 - n00);
    const double top = n01 + u * (n11 - n01);
    return 1.4 * (bottom + v * (top - bottom));
  }

 private:
  int Hash(int x, int y) const { return permutation_[permutation_[x] + y]; }
  // One of eight unit gradient directions.
  static double Dot(int hash, double x, double y) {
    constexpr double kDiagonal = 0.70710678118654752;
    switch (hash & 7) {
      case 0: return x;
      case 1: return -x;
      case 2: return y;
      case 3: return -y;
      case 4: return kDiagonal * (x + y);
      case 5: return kDiagonal * (x - y);
      case 6: return kDiagonal * (-x + y);
      default: return kDiagonal * (-x - y);
    }
  }
  static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

  uint8_t permutation_[512];
};

// Octaves are turned against each other so that their lattices do not line up.
constexpr double kOctaveCos = 0.8;
constexpr double kOctaveSin = 0.6;

// Fractal sum of octaves, about -1..1.
double Fbm(const GradientNoise& noise, double x, double y, int octaves) {
  double sum = 0;
  double amplitude = 0.5;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += amplitude * noise(x, y);
    const double turnedX = kOctaveCos * x - kOctaveSin * y;
    y = 2.03 * (kOctaveSin * x + kOctaveCos * y) + 17.1;
    x = 2.03 * turnedX + 5.3;
    amplitude *= 0.5;
  }
  return sum;
}

// Ridged multifractal: sharp crests where the noise crosses 0; each octave is weighted by the
// one before, so detail gathers on the ridges and the valleys stay smooth. About 0..1.
double Ridged(const GradientNoise& noise, double x, double y, int octaves) {
  double sum = 0;
  double amplitude = 0.55;
  double weight = 1;
  for (int octave = 0; octave < octaves; ++octave) {
    double ridge = 1 - std::fabs(noise(x, y));
    ridge *= ridge * weight;
    weight = std::clamp(ridge * 1.8, 0.0, 1.0);
    sum += ridge * amplitude;
    const double turnedX = kOctaveCos * x - kOctaveSin * y;
    y = 2.1 * (kOctaveSin * x + kOctaveCos * y) + 31.7;
    x = 2.1 * turnedX + 11.9;
    amplitude *= 0.5;
  }
  return sum;
}

double SmoothStep(double edge0, double edge1, double x) {
  const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Uplift before erosion, 0..1 roughly, over the unit square.
std::vector<float> RidgedRelief(int side, Random& random) {
  const GradientNoise ridges(random);
  const GradientNoise warp(random);
  const GradientNoise massif(random);
  std::vector<float> heights(static_cast<size_t>(side) * side);
  const double scale = 1.0 / (side - 1);
  // Finer octaves than one per two samples would only alias.
  const int octaves = std::clamp(static_cast<int>(std::log2(side - 1)) - 5, 3, 12);
  for (int row = 0; row < side; ++row) {
    for (int column = 0; column < side; ++column) {
      const double x = column * scale;
      const double y = row * scale;
      // Domain warp bends the ridge lines into winding crests.
      const double wx = x + 0.08 * Fbm(warp, 2.2 * x + 3.1, 2.2 * y + 7.7, 2);
      const double wy = y + 0.08 * Fbm(warp, 2.2 * x + 13.4, 2.2 * y + 1.9, 2);
      const double crest = Ridged(ridges, 3.2 * wx, 3.2 * wy, octaves);
      // Large massifs rise out of lower rolling ground.
      const double uplift = SmoothStep(-0.35, 0.45, Fbm(massif, 1.4 * x + 2.5, 1.4 * y + 9.1, 3));
      const double rolling = 0.5 + 0.5 * Fbm(massif, 4.0 * wx + 40.0, 4.0 * wy + 40.0, 5);
      heights[column + static_cast<size_t>(row) * side] =
          static_cast<float>(crest * (0.25 + 0.75 * uplift) + 0.12 * rolling + 0.35 * uplift);
    }
  }
  return heights;
}

// Droplet hydraulic erosion: each droplet runs downhill, picks up sediment where it speeds up
// and the slope allows, and drops it where it slows or climbs, cutting gullies and filling
// valley floors.
class Erosion {
 public:
  Erosion(std::vector<float>& heights, int side) : heights_(heights), side_(side) {
    for (int dy = -kRadius; dy <= kRadius; ++dy)
      for (int dx = -kRadius; dx <= kRadius; ++dx) {
        const double distance = std::sqrt(dx * dx + dy * dy);
        if (distance < kRadius) brush_.push_back({dx, dy, static_cast<float>(kRadius - distance)});
      }
    float total = 0;
    for (const BrushCell& cell : brush_) total += cell.weight;
    for (BrushCell& cell : brush_) cell.weight /= total;
  }

  void RunDroplet(Random& random) {
    float x = static_cast<float>(random.Unit() * (side_ - 1));
    float y = static_cast<float>(random.Unit() * (side_ - 1));
    float dirX = 0;
    float dirY = 0;
    float speed = 1;
    float water = 1;
    float sediment = 0;
    for (int step = 0; step < kLifetime; ++step) {
      const int cellX = static_cast<int>(x);
      const int cellY = static_cast<int>(y);
      const float offsetX = x - cellX;
      const float offsetY = y - cellY;
      const Surface here = SurfaceAt(x, y);
      dirX = dirX * kInertia - here.gradientX * (1 - kInertia);
      dirY = dirY * kInertia - here.gradientY * (1 - kInertia);
      const float length = std::sqrt(dirX * dirX + dirY * dirY);
      if (length < 1e-12f) break;
      dirX /= length;
      dirY /= length;
      x += dirX;
      y += dirY;
      if (x < 0 || y < 0 || x >= side_ - 1 || y >= side_ - 1) break;
      const float deltaHeight = SurfaceAt(x, y).height - here.height;
      const float capacity = std::max(-deltaHeight * speed * water * kCapacity, kMinCapacity);
      if (sediment > capacity || deltaHeight > 0) {
        // Uphill: fill the pit behind; otherwise drop the excess.
        const float deposit =
            deltaHeight > 0 ? std::min(deltaHeight, sediment) : (sediment - capacity) * kDepositSpeed;
        sediment -= deposit;
        Deposit(cellX, cellY, offsetX, offsetY, deposit);
      } else {
        sediment += Erode(cellX, cellY, std::min((capacity - sediment) * kErodeSpeed, -deltaHeight));
      }
      speed = std::sqrt(std::max(0.0f, speed * speed - deltaHeight * kGravity));
      water *= 1 - kEvaporation;
    }
  }

 private:
  static constexpr int kRadius = 3;
  static constexpr int kLifetime = 40;
  static constexpr float kInertia = 0.1f;
  static constexpr float kCapacity = 6.0f;
  static constexpr float kMinCapacity = 0.01f;
  static constexpr float kDepositSpeed = 0.3f;
  static constexpr float kErodeSpeed = 0.3f;
  static constexpr float kEvaporation = 0.02f;
  static constexpr float kGravity = 4.0f;

  struct Surface {
    float height;
    float gradientX;
    float gradientY;
  };
  struct BrushCell {
    int dx;
    int dy;
    float weight;
  };

  float& At(int x, int y) { return heights_[x + static_cast<size_t>(y) * side_]; }

  // Bilinear height and gradient inside the cell holding (x, y).
  Surface SurfaceAt(float x, float y) {
    const int cellX = static_cast<int>(x);
    const int cellY = static_cast<int>(y);
    const float u = x - cellX;
    const float v = y - cellY;
    const float h00 = At(cellX, cellY);
    const float h10 = At(cellX + 1, cellY);
    const float h01 = At(cellX, cellY + 1);
    const float h11 = At(cellX + 1, cellY + 1);
    return {h00 * (1 - u) * (1 - v) + h10 * u * (1 - v) + h01 * (1 - u) * v + h11 * u * v,
            (h10 - h00) * (1 - v) + (h11 - h01) * v, (h01 - h00) * (1 - u) + (h11 - h10) * u};
  }

  void Deposit(int cellX, int cellY, float u, float v, float amount) {
    At(cellX, cellY) += amount * (1 - u) * (1 - v);
    At(cellX + 1, cellY) += amount * u * (1 - v);
    At(cellX, cellY + 1) += amount * (1 - u) * v;
    At(cellX + 1, cellY + 1) += amount * u * v;
  }

  // Removes up to amount, spread over the brush around the cell; returns what was taken.
  float Erode(int cellX, int cellY, float amount) {
    float taken = 0;
    for (const BrushCell& cell : brush_) {
      const int x = cellX + cell.dx;
      const int y = cellY + cell.dy;
      if (x < 0 || y < 0 || x >= side_ || y >= side_) continue;
      float& height = At(x, y);
      const float share = std::min(height, amount * cell.weight);
      height -= share;
      taken += share;
    }
    return taken;
  }

  std::vector<float>& heights_;
  const int side_;
  std::vector<BrushCell> brush_;
};

}  // namespace

std::vector<HeightSample> GenerateTerrain(const TerrainRecipe& recipe) {
  const int side = recipe.side;
  Random random(0x51ed2701u + 0x9e3779b9ull * recipe.seed);
  std::vector<float> heights = RidgedRelief(side, random);
  // Erosion works in cell units; its rates are tuned for slopes of this relief (a steeper one
  // lets droplets race and leave pits and levees).
  const float relief = (side - 1) / 256.0f;
  for (float& height : heights) height *= relief;
  Erosion erosion(heights, side);
  const long droplets = std::lround(recipe.dropletsPerSample * side * side);
  for (long droplet = 0; droplet < droplets; ++droplet) erosion.RunDroplet(random);

  const auto [lowest, highest] = std::minmax_element(heights.begin(), heights.end());
  const float low = *lowest;
  const float range = std::max(*highest - low, 1e-6f);
  std::vector<HeightSample> samples(heights.size());
  for (size_t i = 0; i < heights.size(); ++i)
    samples[i] = static_cast<HeightSample>(std::lround((heights[i] - low) / range * 65535.0f));
  return samples;
}
