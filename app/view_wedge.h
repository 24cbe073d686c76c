#pragma once
#include <vector>

#include "terrain/height_field.h"
#include "terrain/point3.h"

// Three lines a x + b y + c in the x-y plane: 0 left edge, 1 right edge, 2 eye line.
// A positive value is outside the line's half-plane.
struct ViewWedge {
  float line[3][3];
};

extern ViewWedge CurrentViewWedge;

// The wedge of camera 0 for the current window size.
void ComputeViewWedge();

// Appends the six points of the vertical prism over a bintree triangle.
void AppendTrianglePrism(VertexId apex, VertexId left, VertexId right, std::vector<Point3>& points);

// 0: wholly outside a tested line; -1: inside every tested line; else the straddled lines' mask.
int CullPolygon(int mask, const std::vector<Point3>& points);
