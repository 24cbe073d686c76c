#pragma once
#include <cstdint>
#include <vector>

#include "app/frame_loop.h"
#include "terrain/height_field.h"

// The reference drawing method: the whole grid at full resolution from static GL buffer objects,
// uploaded once at activation, so a frame costs the GL and nothing else. The triangles are the
// bintree's finest level, so CABTT at the whole-grid level draws the same picture.

// Vertex indices (x + y (N + 1)) of every finest-level bintree triangle of the field, three per
// triangle, counter-clockwise seen from above: the two root triangles of the square bisected
// through HypotenuseSplitVertex down to single-cell halves.
std::vector<uint32_t> FinestBintreeTriangles(const HeightField& field);

// Activation builds the buffers from the CurrentHeightField; draw sets the current camera's view
// and the fill state of wireframe mode 0 and draws them; deactivation frees them.
DrawMethod BruteForceMethod();

// Record index of the reference in the benchmark's draw-method table.
constexpr int kBruteForceMethodIndex = 2;
