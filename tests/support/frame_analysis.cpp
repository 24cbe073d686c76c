#include "support/frame_analysis.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "terrain/png_io.h"

bool HasColour(const uint8_t* pixel, const uint8_t rgb[3]) {
  for (int c = 0; c < 3; ++c) {
    if (std::abs(pixel[c] - rgb[c]) > 1) return false;
  }
  return true;
}

int CountCrackPixels(const FrameImage& image, const uint8_t background[3]) {
  int cracks = 0;
  for (int x = 0; x < image.width; ++x) {
    int lowest = -1;
    int highest = -1;
    for (int y = 0; y < image.height; ++y) {
      if (HasColour(image.Pixel(x, y), background)) continue;
      if (lowest < 0) lowest = y;
      highest = y;
    }
    for (int y = lowest + 1; lowest >= 0 && y < highest; ++y) {
      if (HasColour(image.Pixel(x, y), background)) ++cracks;
    }
  }
  return cracks;
}

SquareCoverage MeasureSquareCoverage(const FrameImage& image, const uint8_t background[3], float height,
                                     double inset) {
  GLdouble modelView[16];
  GLdouble projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  constexpr double kCorners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  double corner[4][2];
  for (int i = 0; i < 4; ++i) {
    double z = 0;
    gluProject(kCorners[i][0], kCorners[i][1], height, modelView, projection, viewport, &corner[i][0], &corner[i][1], &z);
  }
  // Signed area tells the winding; a point is inside when it lies inset or more on the inner side
  // of every edge.
  double area = 0;
  for (int i = 0; i < 4; ++i) {
    const double* p = corner[i];
    const double* q = corner[(i + 1) % 4];
    area += p[0] * q[1] - q[0] * p[1];
  }
  const double sense = area > 0 ? 1.0 : -1.0;
  SquareCoverage coverage;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const double px = x + 0.5;
      const double py = y + 0.5;
      bool inside = true;
      for (int i = 0; i < 4 && inside; ++i) {
        const double* p = corner[i];
        const double* q = corner[(i + 1) % 4];
        const double ex = q[0] - p[0];
        const double ey = q[1] - p[1];
        const double length = std::sqrt(ex * ex + ey * ey);
        const double distance = sense * (ex * (py - p[1]) - ey * (px - p[0])) / length;
        inside = distance >= inset;
      }
      if (!inside) continue;
      ++coverage.inside;
      if (HasColour(image.Pixel(x, y), background)) ++coverage.uncovered;
    }
  }
  return coverage;
}

GreenDifference CompareGreen(const FrameImage& a, const FrameImage& b, int threshold, const uint8_t background[3]) {
  GreenDifference difference;
  const size_t pixels = static_cast<size_t>(a.width) * a.height;
  if (pixels == 0) return difference;
  size_t above = 0;
  size_t terrain = 0;
  size_t terrainAbove = 0;
  double total = 0;
  for (size_t i = 0; i < pixels; ++i) {
    const int d = std::abs(a.rgb[3 * i + 1] - b.rgb[3 * i + 1]);
    total += d;
    above += d > threshold;
    if (HasColour(&a.rgb[3 * i], background) && HasColour(&b.rgb[3 * i], background)) continue;
    ++terrain;
    terrainAbove += d > threshold;
  }
  difference.shareAbove = static_cast<double>(above) / pixels;
  difference.meanAbsolute = total / pixels;
  difference.terrainShareAbove = terrain == 0 ? 0.0 : static_cast<double>(terrainAbove) / terrain;
  return difference;
}

int CountDifferentPixels(const FrameImage& a, const FrameImage& b) {
  int different = 0;
  const size_t pixels = static_cast<size_t>(a.width) * a.height;
  for (size_t i = 0; i < pixels; ++i) {
    if (a.rgb[3 * i] != b.rgb[3 * i] || a.rgb[3 * i + 1] != b.rgb[3 * i + 1] || a.rgb[3 * i + 2] != b.rgb[3 * i + 2])
      ++different;
  }
  return different;
}

void SaveGreen(const FrameImage& image, const char* path) {
  std::vector<unsigned char> green(static_cast<size_t>(image.width) * image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x)
      green[static_cast<size_t>(image.height - 1 - y) * image.width + x] = image.Pixel(x, y)[1];
  }
  WriteGreyPng(path, image.width, image.height, green.data());
}
