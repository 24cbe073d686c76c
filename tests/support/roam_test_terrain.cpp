#include "support/roam_test_terrain.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "terrain/error_metric.h"
#include "terrain/height_field.h"

namespace {

ErrorMetric* installedMetric = nullptr;

ErrorMetric* NewMetric(float weight) {
  if (CurrentErrorMetric == installedMetric) CurrentErrorMetric = nullptr;
  if (installedMetric != nullptr) delete[] installedMetric->values;
  delete installedMetric;
  const int N = CurrentHeightField->N;
  installedMetric = new ErrorMetric{new float[static_cast<size_t>(N + 1) * (N + 1)](), weight, N};
  CurrentErrorMetric = installedMetric;
  return installedMetric;
}

struct GridPoint {
  int x;
  int y;
};

GridPoint Mid(GridPoint a, GridPoint b) { return {(a.x + b.x) / 2, (a.y + b.y) / 2}; }

bool LegIsUnit(GridPoint apex, GridPoint left) { return std::abs(apex.x - left.x) <= 1 && std::abs(apex.y - left.y) <= 1; }

class MetricBuilder {
 public:
  explicit MetricBuilder(ErrorMetric& metric) : metric_(metric), field_(*CurrentHeightField) {}

  void Process(GridPoint apex, GridPoint left, GridPoint right) {
    const Point3 p1 = Position(apex);
    const Point3 p2 = Position(left);
    const Point3 p3 = Position(right);
    const Point3 u = {p1.x - p2.x, p1.y - p2.y, p1.z - p2.z};
    const Point3 v = {p3.x - p1.x, p3.y - p1.y, p3.z - p1.z};
    const float nx = u.y * v.z - u.z * v.y;
    const float ny = u.z * v.x - u.x * v.z;
    const float nz = u.x * v.y - u.y * v.x;
    a_ = -nx / nz;
    b_ = -ny / nz;
    c_ = p1.z - (a_ * p1.x + b_ * p1.y);
    const GridPoint m = Mid(left, right);
    p_ = Position(m);
    const float e = SubtreeError(apex, left, right);
    float& value = metric_.values[m.x + m.y * (field_.N + 1)];
    value = std::max(value, e);
    if (!LegIsUnit(apex, left)) {
      Process(m, apex, left);
      Process(m, right, apex);
    }
  }

 private:
  Point3 Position(GridPoint g) const { return field_.GridPosition(g.x, g.y); }

  float SubtreeError(GridPoint apex, GridPoint left, GridPoint right) const {
    const GridPoint m = Mid(left, right);
    const Point3 q = Position(m);
    const float dx = q.x - p_.x;
    const float dy = q.y - p_.y;
    const float dz = q.z - p_.z;
    const float term = metric_.weight * std::fabs(q.z - (a_ * q.x + b_ * q.y + c_)) + std::sqrt(dx * dx + dy * dy + dz * dz);
    if (LegIsUnit(apex, left)) return term;
    return std::max({term, SubtreeError(m, apex, left), SubtreeError(m, right, apex)});
  }

  ErrorMetric& metric_;
  const HeightField& field_;
  float a_ = 0, b_ = 0, c_ = 0;
  Point3 p_ = {};
};

}  // namespace

void InstallRoamTestTerrain(int n, uint32_t seed, float verticalScale, float roughness) {
  const int N = 1 << n;
  const int side = N + 1;
  std::vector<double> h(static_cast<size_t>(side) * side, 0.0);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  auto at = [&](int x, int y) -> double& { return h[static_cast<size_t>(x) + static_cast<size_t>(y) * side]; };
  for (int y = 0; y <= N; y += N)
    for (int x = 0; x <= N; x += N) at(x, y) = unit(random);
  double amplitude = 1.0;
  for (int step = N; step > 1; step /= 2) {
    const int half = step / 2;
    for (int y = half; y < N; y += step)
      for (int x = half; x < N; x += step)
        at(x, y) = 0.25 * (at(x - half, y - half) + at(x + half, y - half) + at(x - half, y + half) + at(x + half, y + half)) +
                   amplitude * unit(random);
    for (int y = 0; y <= N; y += half)
      for (int x = (y / half) % 2 == 0 ? half : 0; x <= N; x += step) {
        double sum = 0.0;
        int count = 0;
        if (x >= half) sum += at(x - half, y), ++count;
        if (x + half <= N) sum += at(x + half, y), ++count;
        if (y >= half) sum += at(x, y - half), ++count;
        if (y + half <= N) sum += at(x, y + half), ++count;
        at(x, y) = sum / count + amplitude * unit(random);
      }
    amplitude *= roughness;
  }
  const auto [low, high] = std::minmax_element(h.begin(), h.end());
  const double range = *high > *low ? *high - *low : 1.0;
  auto* samples = new HeightSample[h.size()];
  for (size_t i = 0; i < h.size(); ++i) samples[i] = static_cast<HeightSample>(std::lround((h[i] - *low) / range * 65535.0));
  InstallHeightField(samples, verticalScale, n);
}

void InstallRoamTestErrorMetric(float weight) {
  ErrorMetric* metric = NewMetric(weight);
  const int N = metric->N;
  if (N < 2) return;
  MetricBuilder builder(*metric);
  builder.Process({N, 0}, {0, 0}, {N, N});
  builder.Process({0, N}, {N, N}, {0, 0});
}

void InstallRandomRoamErrorMetric(uint32_t seed, float maxValue) {
  ErrorMetric* metric = NewMetric(0.0f);
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(0.0f, maxValue);
  const size_t count = static_cast<size_t>(metric->N + 1) * (metric->N + 1);
  for (size_t i = 0; i < count; ++i) metric->values[i] = value(random);
}

void RemoveRoamTestTerrain() {
  if (CurrentErrorMetric == installedMetric) CurrentErrorMetric = nullptr;
  if (installedMetric != nullptr) delete[] installedMetric->values;
  delete installedMetric;
  installedMetric = nullptr;
  DestroyHeightField();
}
