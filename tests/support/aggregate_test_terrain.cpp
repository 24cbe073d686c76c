#include "aggregate_test_terrain.h"

#include <algorithm>
#include <cmath>
#include <vector>

// The library's error metric module defines the real pointer; this one only stands in while
// that module is not linked into a test binary.
__attribute__((weak)) ErrorMetric* CurrentErrorMetric = nullptr;

uint64_t TestRandom::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

namespace {

HeightSample Clamp16(double value) {
  return static_cast<HeightSample>(std::clamp(value, 0.0, 65535.0));
}

// Diamond-square: each halving of the step adds displacements of half the amplitude.
HeightSample* RoughSamples(int n, uint32_t seed) {
  const int N = 1 << n;
  const int side = N + 1;
  std::vector<double> h(static_cast<size_t>(side) * side, 0.0);
  auto at = [&](int x, int y) -> double& { return h[static_cast<size_t>(x) + static_cast<size_t>(y) * side]; };
  TestRandom random(seed);
  double amplitude = 30000.0;
  auto jitter = [&]() { return (random.Unit() - 0.5) * 2.0 * amplitude; };
  at(0, 0) = 32768 + jitter();
  at(N, 0) = 32768 + jitter();
  at(0, N) = 32768 + jitter();
  at(N, N) = 32768 + jitter();
  for (int step = N; step > 1; step /= 2) {
    const int half = step / 2;
    amplitude *= 0.55;
    for (int y = half; y < N; y += step)
      for (int x = half; x < N; x += step)
        at(x, y) = (at(x - half, y - half) + at(x + half, y - half) + at(x - half, y + half) +
                    at(x + half, y + half)) / 4 + jitter();
    for (int y = 0; y <= N; y += half)
      for (int x = (y / half) % 2 == 0 ? half : 0; x <= N; x += step) {
        double sum = 0;
        int count = 0;
        if (x >= half) sum += at(x - half, y), ++count;
        if (x + half <= N) sum += at(x + half, y), ++count;
        if (y >= half) sum += at(x, y - half), ++count;
        if (y + half <= N) sum += at(x, y + half), ++count;
        at(x, y) = sum / count + jitter();
      }
  }
  auto* samples = new HeightSample[h.size()];
  for (size_t i = 0; i < h.size(); ++i) samples[i] = Clamp16(h[i]);
  return samples;
}

ErrorMetric& InstallMetricValues(float* values, float weight) {
  DestroyTestErrorMetric();
  CurrentErrorMetric = new ErrorMetric{values, weight, CurrentHeightField->N};
  return *CurrentErrorMetric;
}

float* ZeroValues() {
  const int side = CurrentHeightField->N + 1;
  return new float[static_cast<size_t>(side) * side]();
}

struct GridPoint {
  int x;
  int y;
};

class MetricComputation {
 public:
  MetricComputation(float weight, float* values) : weight_(weight), values_(values) {}

  void Triangle(GridPoint apex, GridPoint left, GridPoint right) {
    const HeightField& field = *CurrentHeightField;
    const Point3 p1 = field.GridPosition(apex.x, apex.y);
    const Point3 p2 = field.GridPosition(left.x, left.y);
    const Point3 p3 = field.GridPosition(right.x, right.y);
    const double ax = p1.x - p2.x, ay = p1.y - p2.y, az = p1.z - p2.z;
    const double bx = p3.x - p1.x, by = p3.y - p1.y, bz = p3.z - p1.z;
    const double nx = ay * bz - az * by;
    const double ny = az * bx - ax * bz;
    const double nz = ax * by - ay * bx;
    a_ = -nx / nz;
    b_ = -ny / nz;
    c_ = p1.z - (a_ * p1.x + b_ * p1.y);
    const GridPoint m{(left.x + right.x) / 2, (left.y + right.y) / 2};
    centre_ = field.GridPosition(m.x, m.y);
    const float e = static_cast<float>(Subtree(apex, left, right));
    float& slot = values_[m.x + m.y * (field.N + 1)];
    slot = std::max(slot, e);
    if (std::abs(apex.x - left.x) > 1 || std::abs(apex.y - left.y) > 1) {
      Triangle(m, apex, left);
      Triangle(m, right, apex);
    }
  }

 private:
  double Subtree(GridPoint apex, GridPoint left, GridPoint right) const {
    const GridPoint m{(left.x + right.x) / 2, (left.y + right.y) / 2};
    const Point3 q = CurrentHeightField->GridPosition(m.x, m.y);
    const double dx = q.x - centre_.x, dy = q.y - centre_.y, dz = q.z - centre_.z;
    double term = weight_ * std::abs(q.z - (a_ * q.x + b_ * q.y + c_)) + std::sqrt(dx * dx + dy * dy + dz * dz);
    if (std::abs(apex.x - left.x) <= 1 && std::abs(apex.y - left.y) <= 1) return term;
    term = std::max(term, Subtree(m, apex, left));
    return std::max(term, Subtree(m, right, apex));
  }

  double weight_;
  float* values_;
  double a_ = 0, b_ = 0, c_ = 0;
  Point3 centre_{};
};

}  // namespace

void InstallRoughTerrain(int n, uint32_t seed, float verticalScale) {
  InstallHeightField(RoughSamples(n, seed), verticalScale, n);
}

void InstallNoiseTerrain(int n, uint32_t seed, float verticalScale) {
  const int side = (1 << n) + 1;
  auto* samples = new HeightSample[static_cast<size_t>(side) * side];
  TestRandom random(seed);
  for (int i = 0; i < side * side; ++i) samples[i] = static_cast<HeightSample>(random.Next() & 0xFFFF);
  InstallHeightField(samples, verticalScale, n);
}

ErrorMetric& InstallZeroErrorMetric() { return InstallMetricValues(ZeroValues(), 600.0f); }

ErrorMetric& InstallComputedErrorMetric(float weight) {
  float* values = ZeroValues();
  const int N = CurrentHeightField->N;
  if (N > 1) {
    MetricComputation computation(weight, values);
    computation.Triangle({N, 0}, {0, 0}, {N, N});
    computation.Triangle({0, N}, {N, N}, {0, 0});
  }
  return InstallMetricValues(values, weight);
}

ErrorMetric& InstallRandomErrorMetric(uint32_t seed, float maxValue) {
  float* values = ZeroValues();
  const int N = CurrentHeightField->N;
  TestRandom random(seed);
  for (int y = 0; y <= N; ++y)
    for (int x = 0; x <= N; ++x)
      if ((x != 0 && x != N) || (y != 0 && y != N))
        values[x + y * (N + 1)] = static_cast<float>(random.Unit() * maxValue);
  return InstallMetricValues(values, 600.0f);
}

void DestroyTestErrorMetric() {
  if (CurrentErrorMetric == nullptr) return;
  delete[] CurrentErrorMetric->values;
  delete CurrentErrorMetric;
  CurrentErrorMetric = nullptr;
}
