#pragma once
#include <cstdint>

#include "support/terrain_scene.h"

// Checks on rendered frames of the terrain scene.

// A pixel of this colour (each channel within one level, for rounding).
bool HasColour(const uint8_t* pixel, const uint8_t rgb[3]);

// Background pixels with terrain both above and below them in the same column. Seen from a level
// camera above a height field, every pixel column shows the terrain as one run from the bottom
// up to the silhouette (a ray that passes below some surface point must have crossed the surface
// on its way); with back faces culled, a ray that slips through a hole in the mesh runs on under
// the terrain and shows the background. So each such pixel marks a crack.
int CountCrackPixels(const FrameImage& image, const uint8_t background[3]);

// Pixels whose centres lie inside the terrain's unit square (at the given height) as projected by
// the GL's current matrices and viewport, at least inset pixels in from its edges (a negative
// inset reaches out past them), and how many of them show the background.
struct SquareCoverage {
  int inside = 0;
  int uncovered = 0;
};
SquareCoverage MeasureSquareCoverage(const FrameImage& image, const uint8_t background[3], float height,
                                     double inset);

// Green channels (what a screen capture keeps) of two frames of the same size compared.
struct GreenDifference {
  double shareAbove = 0.0;         // share of pixels differing by more than the threshold
  double meanAbsolute = 0.0;       // mean absolute difference in grey levels
  double terrainShareAbove = 0.0;  // the share among pixels showing terrain in either frame
};
GreenDifference CompareGreen(const FrameImage& a, const FrameImage& b, int threshold, const uint8_t background[3]);

// Pixels that differ in any channel.
int CountDifferentPixels(const FrameImage& a, const FrameImage& b);

// Writes the frame's green channel as a grey PNG, top row first (for looking at a failure).
void SaveGreen(const FrameImage& image, const char* path);
