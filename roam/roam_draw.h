#pragma once

// Block sizes Standard ROAM asks of the geometry cache: a triangle never shares a vertex with
// the previous block, and a block is closed before it could exceed 1023 vertices, so at most
// 1021 triangles (3063 indices) fit.
constexpr int kRoamBlockVertices = 1024;
constexpr int kRoamBlockIndices = 3066;

// Depth of the view-wedge tests below the base triangles for the current CullingLevel.
int RoamCullingDepth();

// One drawing pass: both trees, culled down to depth, streamed through ActiveCache block by
// block; the triangles and bytes drawn are added to the frame statistics.
void DrawRoamPass(int depth);
