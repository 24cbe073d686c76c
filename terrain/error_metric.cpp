#include "terrain/error_metric.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "app/platform/parallel.h"
#include "terrain/height_field.h"

// The error of a triangle T is the largest term over the hypotenuse midpoints Q of T and of all its
// descendants: weight x |vertical deviation of Q from T's plane| + |Q - P|, P being T's midpoint.
// Those midpoints are exactly the grid vertices of T's closed region other than its three corners
// (interior ones twice, as both halves of a diamond), so instead of descending the subtree each
// triangle scans its region row by row. Each term is computed with the same float operations
// whichever way it is reached, and the maximum does not depend on the order.

namespace {

struct GridPoint {
  int x;
  int y;
};

// z = a x + b y + c.
struct Plane {
  float a;
  float b;
  float c;
};

// The plane through three world positions, from the normal (p1 - p2) x (p3 - p1).
Plane FitPlane(const Point3& p1, const Point3& p2, const Point3& p3) {
  const float ux = p1.x - p2.x;
  const float uy = p1.y - p2.y;
  const float uz = p1.z - p2.z;
  const float vx = p3.x - p1.x;
  const float vy = p3.y - p1.y;
  const float vz = p3.z - p1.z;
  const float nx = uy * vz - uz * vy;
  const float ny = uz * vx - ux * vz;
  const float nz = ux * vy - uy * vx;
  const float a = -nx / nz;
  const float b = -ny / nz;
  return {a, b, p1.z - (a * p1.x + b * p1.y)};
}

// One edge of a bintree triangle as the half-plane a x + b y >= k holding the triangle. Bintree
// edges are axis-parallel or diagonal, so a and b are -1, 0 or 1 and every bound is an integer.
struct HalfPlane {
  int a;
  int b;
  int k;
};

int Sign(int value) { return (value > 0) - (value < 0); }

HalfPlane InnerSide(GridPoint p, GridPoint q, GridPoint opposite) {
  const int a = Sign(q.y - p.y);
  const int b = Sign(p.x - q.x);
  HalfPlane side{a, b, a * p.x + b * p.y};
  if (a * opposite.x + b * opposite.y < side.k) side = {-a, -b, -side.k};
  return side;
}

// Narrows [*first, *last] to the columns of row y inside the half-plane.
void ClipRow(const HalfPlane& side, int y, int* first, int* last) {
  if (side.a > 0) *first = std::max(*first, side.k - side.b * y);
  if (side.a < 0) *last = std::min(*last, side.b * y - side.k);
}

// Drops a triangle corner from the ends of row y's column range (corners are never in the middle).
void ExcludeCorner(GridPoint corner, int y, int* first, int* last) {
  if (corner.y != y) return;
  if (corner.x == *first) {
    ++*first;
  } else if (corner.x == *last) {
    --*last;
  }
}

// The terms of the grid vertices of one row y for one triangle: weight x |deviation of Q from the
// plane| + |Q - P|. The four-lane form performs the same float operations on each lane.
class RowTerms {
 public:
  RowTerms(const HeightField& field, float weight, const Plane& plane, const Point3& p, int y)
      : row_(field.Samples() + static_cast<size_t>(y) * (field.N + 1)),
        spacing_(field.spacing),
        heightFactor_(field.heightFactor),
        weight_(weight),
        plane_(plane),
        p_(p) {
    const float qy = static_cast<float>(y) * spacing_;
    planeY_ = plane.b * qy;
    const float dy = qy - p.y;
    dySquared_ = dy * dy;
  }

  float Term(int x) const {
    const float qx = static_cast<float>(x) * spacing_;
    const float qz = row_[x] * heightFactor_;
    const float deviation = qz - (plane_.a * qx + planeY_ + plane_.c);
    const float dx = qx - p_.x;
    const float dz = qz - p_.z;
    return weight_ * std::fabs(deviation) + std::sqrt(dx * dx + dySquared_ + dz * dz);
  }

#ifdef __SSE2__
  // Term(x) .. Term(x + 3).
  __m128 FourTerms(int x) const {
    const __m128i columns = _mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3));
    const __m128 qx = _mm_mul_ps(_mm_cvtepi32_ps(columns), _mm_set1_ps(spacing_));
    const __m128i samples = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row_ + x));
    const __m128 qz = _mm_mul_ps(_mm_cvtepi32_ps(_mm_unpacklo_epi16(samples, _mm_setzero_si128())),
                                 _mm_set1_ps(heightFactor_));
    const __m128 planeZ = _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(plane_.a), qx), _mm_set1_ps(planeY_)),
                                     _mm_set1_ps(plane_.c));
    const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), _mm_sub_ps(qz, planeZ));
    const __m128 dx = _mm_sub_ps(qx, _mm_set1_ps(p_.x));
    const __m128 dz = _mm_sub_ps(qz, _mm_set1_ps(p_.z));
    const __m128 squared = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_set1_ps(dySquared_)), _mm_mul_ps(dz, dz));
    return _mm_add_ps(_mm_mul_ps(_mm_set1_ps(weight_), magnitude), _mm_sqrt_ps(squared));
  }

  // FourTerms(x) with 0 in the lanes whose column lies outside first..last.
  __m128 FourTermsWithin(int x, int first, int last) const {
    const __m128i columns = _mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3));
    const __m128i outside = _mm_or_si128(_mm_cmplt_epi32(columns, _mm_set1_epi32(first)),
                                         _mm_cmpgt_epi32(columns, _mm_set1_epi32(last)));
    return _mm_andnot_ps(_mm_castsi128_ps(outside), FourTerms(x));
  }
#endif

 private:
  const HeightSample* row_;
  float spacing_;
  float heightFactor_;
  float weight_;
  Plane plane_;
  Point3 p_;
  float planeY_;
  float dySquared_;
};

struct Triangle {
  GridPoint apex;
  GridPoint left;
  GridPoint right;
};

// A triangle whose legs span at most one cell in x and in y is not split further.
bool IsFinest(GridPoint apex, GridPoint left) { return std::abs(apex.x - left.x) <= 1 && std::abs(apex.y - left.y) <= 1; }

class ErrorComputation {
 public:
  ErrorComputation(const HeightField& field, ErrorMetric& metric)
      : field_(field), metric_(metric), side_(field.N + 1) {}

  // Triangle t's own error into its midpoint's value. Several threads may raise the value of a
  // midpoint that two triangles share; the largest wins whatever the order.
  void ProcessOne(const Triangle& t) {
    const GridPoint mid{(t.left.x + t.right.x) / 2, (t.left.y + t.right.y) / 2};
    RaiseAtomically(metric_.values[mid.x + mid.y * side_], TriangleError(t.apex, t.left, t.right, mid));
  }

  // Triangle t and then its descendants.
  void ProcessSubtree(const Triangle& t) {
    ProcessOne(t);
    if (IsFinest(t.apex, t.left)) return;
    const GridPoint mid{(t.left.x + t.right.x) / 2, (t.left.y + t.right.y) / 2};
    ProcessSubtree({mid, t.apex, t.left});
    ProcessSubtree({mid, t.right, t.apex});
  }

 private:

  float TriangleError(GridPoint apex, GridPoint left, GridPoint right, GridPoint mid) const {
    const Plane plane =
        FitPlane(field_.GridPosition(apex.x, apex.y), field_.GridPosition(left.x, left.y),
                 field_.GridPosition(right.x, right.y));
    const Point3 p = field_.GridPosition(mid.x, mid.y);
    // Half of all triangles are the finest, whose only vertex besides the corners is the midpoint.
    if (IsFinest(apex, left)) return RowTerms(field_, metric_.weight, plane, p, mid.y).Term(mid.x);
    const HalfPlane sides[3] = {InnerSide(apex, left, right), InnerSide(left, right, apex),
                                InnerSide(right, apex, left)};
    const int minX = std::min({apex.x, left.x, right.x});
    const int maxX = std::max({apex.x, left.x, right.x});
    const int minY = std::min({apex.y, left.y, right.y});
    const int maxY = std::max({apex.y, left.y, right.y});
    float largest = 0.0f;
    for (int y = minY; y <= maxY; ++y) {
      int first = minX;
      int last = maxX;
      for (const HalfPlane& side : sides) ClipRow(side, y, &first, &last);
      ExcludeCorner(apex, y, &first, &last);
      ExcludeCorner(left, y, &first, &last);
      ExcludeCorner(right, y, &first, &last);
      if (first <= last) largest = std::max(largest, RowError(plane, p, y, first, last));
    }
    return largest;
  }

  // Largest term over the grid vertices (first..last, y).
  float RowError(const Plane& plane, const Point3& p, int y, int first, int last) const {
    const RowTerms terms(field_, metric_.weight, plane, p, y);
#ifdef __SSE2__
    // Four columns at a time; the last group is moved left to stay inside the row and masked to
    // first..last (a column counted twice does not change the largest term).
    if (side_ >= 4) {
      __m128 largest = _mm_setzero_ps();
      int x = first;
      for (; x + 3 <= last; x += 4) largest = _mm_max_ps(largest, terms.FourTerms(x));
      if (x <= last) largest = _mm_max_ps(largest, terms.FourTermsWithin(std::min(x, side_ - 4), first, last));
      largest = _mm_max_ps(largest, _mm_movehl_ps(largest, largest));
      largest = _mm_max_ss(largest, _mm_shuffle_ps(largest, largest, 1));
      return _mm_cvtss_f32(largest);
    }
#endif
    float largest = 0.0f;
    for (int x = first; x <= last; ++x) largest = std::max(largest, terms.Term(x));
    return largest;
  }

  const HeightField& field_;
  ErrorMetric& metric_;
  const int side_;
};

}  // namespace

ErrorMetric ComputeErrorMetric(const HeightField& field, float weight, int threads) {
  const int N = field.N;
  ErrorMetric metric{std::vector<float>(static_cast<size_t>(N + 1) * (N + 1), 0.0f), weight, N};
  // With a single cell the roots' hypotenuse is the cell diagonal: there is no midpoint vertex.
  if (N < 2) return metric;
  // Every level of the tree scans the whole square once, so the work is cut into the triangles of
  // the top levels, each a task of its own (the largest first), and the subtrees below them.
  const int topLevels = std::min(2 * field.n - 1, 10);
  std::vector<Triangle> single;
  std::vector<Triangle> level = {{{N, 0}, {0, 0}, {N, N}}, {{0, N}, {N, N}, {0, 0}}};
  for (int depth = 0; depth < topLevels; ++depth) {
    std::vector<Triangle> below;
    for (const Triangle& t : level) {
      single.push_back(t);
      const GridPoint mid{(t.left.x + t.right.x) / 2, (t.left.y + t.right.y) / 2};
      below.push_back({mid, t.apex, t.left});
      below.push_back({mid, t.right, t.apex});
    }
    level = std::move(below);
  }
  ErrorComputation computation(field, metric);
  const int singles = static_cast<int>(single.size());
  ParallelFor(
      singles + static_cast<int>(level.size()),
      [&](int task) {
        if (task < singles)
          computation.ProcessOne(single[task]);
        else
          computation.ProcessSubtree(level[task - singles]);
      },
      threads);
  return metric;
}
