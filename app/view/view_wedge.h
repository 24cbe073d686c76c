#pragma once
#include <vector>

#include "app/view/camera.h"
#include "terrain/height_field.h"
#include "terrain/point3.h"

// The horizontal field of view of the flown camera as three lines a x + b y + c in the x-y plane:
// 0 left edge, 1 right edge, 2 the line through the eye at right angles to the view. A positive
// value is outside a line's half-plane; a point on a line is inside. The camera never pitches or
// rolls, so the test is made in the plane, on the vertical prism over a triangle.
struct ViewWedge {
  float line[3][3];
};

// The wedge of a camera that looks level (camera 0) for a window of width x height.
ViewWedge ComputeViewWedge(const CameraView& camera, int width, int height);

// Appends the six points of the vertical prism over a bintree triangle, from the ground to the
// field's vertical scale.
void AppendTrianglePrism(const HeightField& field, VertexId apex, VertexId left, VertexId right,
                         std::vector<Point3>& points);

// For the lines in mask (bit k: line k): 0 when the points lie wholly outside one of them; -1 when
// inside every one; otherwise the mask of the lines they straddle, to be tested below.
int CullPolygon(const ViewWedge& wedge, int mask, const std::vector<Point3>& points);
