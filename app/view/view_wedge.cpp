#include "app/view/view_wedge.h"

#include <cmath>

ViewWedge ComputeViewWedge(const CameraView& camera, int width, int height) {
  const Point3& eye = camera.eye;
  const Point3& centre = camera.centre;
  const float dx = centre.x - eye.x;
  const float dy = centre.y - eye.y;
  const float u = static_cast<float>(std::tan(camera.fieldOfView * 0.5 * M_PI / 180.0) * width / height);
  ViewWedge wedge;
  float(&line)[3][3] = wedge.line;
  line[0][0] = -dy - u * dx;
  line[0][1] = dx - u * dy;
  line[0][2] = -(line[0][0] * eye.x + line[0][1] * eye.y);
  line[1][0] = dy - u * dx;
  line[1][1] = -dx - u * dy;
  line[1][2] = -(line[1][0] * eye.x + line[1][1] * eye.y);
  line[2][0] = -dx;
  line[2][1] = -dy;
  line[2][2] = dx * eye.x + dy * eye.y;
  return wedge;
}

void AppendTrianglePrism(const HeightField& field, VertexId apex, VertexId left, VertexId right,
                         std::vector<Point3>& points) {
  for (VertexId id : {apex, left, right}) {
    const float x = static_cast<float>(field.GridX(id)) * field.spacing;
    const float y = static_cast<float>(field.GridY(id)) * field.spacing;
    points.push_back({x, y, 0.0f});
    points.push_back({x, y, field.verticalScale});
  }
}

int CullPolygon(const ViewWedge& wedge, int mask, const std::vector<Point3>& points) {
  int result = 0;
  for (int k = 0; k < 3; ++k) {
    if ((mask & (1 << k)) == 0) continue;
    const float* line = wedge.line[k];
    bool anyOutside = false;
    bool anyInside = false;
    for (const Point3& p : points) {
      if (line[0] * p.x + line[1] * p.y + line[2] > 0.0f)
        anyOutside = true;
      else
        anyInside = true;
    }
    if (!anyInside) return 0;
    if (anyOutside) result |= 1 << k;
  }
  return result != 0 ? result : -1;
}
