// Stand-ins for shell and terrain definitions that the ROAM branch calls but does not own.
// They exist only until the real app/, cache/ and terrain/ bodies are merged; remove then.
#include <GL/gl.h>

#include <cmath>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "app/window_system.h"
#include "app/wireframe.h"
#include "cache/geometry_cache.h"
#include "support/roam_client_array_cache.h"
#include "terrain/error_metric.h"

ErrorMetric* CurrentErrorMetric = nullptr;

DrawMethod DrawMethods[kMaxDrawMethods] = {};
int DrawMethodCount = 0;
int CurrentDrawMethod = -1;
FrameStats Stats = {};

void SetDrawMethod(int index) {
  if (index == CurrentDrawMethod) return;
  if (CurrentDrawMethod >= 0 && CurrentDrawMethod < DrawMethodCount && DrawMethods[CurrentDrawMethod].deactivate)
    DrawMethods[CurrentDrawMethod].deactivate();
  CurrentDrawMethod = index;
  if (index >= 0 && index < DrawMethodCount && DrawMethods[index].activate) DrawMethods[index].activate();
}

WindowSystem Window = {};

CameraView Cameras[3] = {{{0, 0, 0}, {1, 0, 0}, 45.0f}, {{0.5f, 0.5f, 30}, {0.5f, 0.5f, 0}, 1.25f},
                         {{0.5f, 0.5f, 30}, {0.5f, 0.5f, 0}, 1.9f}};
Point3 CameraUp[3] = {{0, 0, 1}, {0, 1, 0}, {0, 1, 0}};
int CurrentCamera = 0;
int CullingLevel = 14;
int WireframeMode = 0;
int WindowWidth = 640;
int WindowHeight = 480;

void CreateGeometryCache() {
  delete ActiveCache;
  ActiveCache = new RoamClientArrayCache;
}

void SecondPassTexturedGrid() {
  glDisable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT, GL_LINE);
}

void SecondPassHiddenLine() {
  glPolygonMode(GL_FRONT, GL_LINE);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
}

ViewWedge CurrentViewWedge = {};

void ComputeViewWedge() {
  const Point3 e = Cameras[0].eye;
  const Point3 f = Cameras[0].centre;
  const float dx = f.x - e.x;
  const float dy = f.y - e.y;
  const float u = std::tan(Cameras[0].fieldOfView * 0.5f * 3.14159265f / 180.0f) * static_cast<float>(WindowWidth) /
                  static_cast<float>(WindowHeight);
  float(&l)[3][3] = CurrentViewWedge.line;
  l[0][0] = -dy - u * dx;
  l[0][1] = dx - u * dy;
  l[0][2] = -(l[0][0] * e.x + l[0][1] * e.y);
  l[1][0] = dy - u * dx;
  l[1][1] = -dx - u * dy;
  l[1][2] = -(l[1][0] * e.x + l[1][1] * e.y);
  l[2][0] = -dx;
  l[2][1] = -dy;
  l[2][2] = dx * e.x + dy * e.y;
}

void AppendTrianglePrism(VertexId apex, VertexId left, VertexId right, std::vector<Point3>& points) {
  const HeightField& field = *CurrentHeightField;
  for (VertexId id : {apex, left, right}) {
    const float x = static_cast<float>(field.GridX(id)) * field.spacing;
    const float y = static_cast<float>(field.GridY(id)) * field.spacing;
    points.push_back({x, y, 0.0f});
    points.push_back({x, y, field.verticalScale});
  }
}

int CullPolygon(int mask, const std::vector<Point3>& points) {
  int result = 0;
  for (int k = 0; k < 3; ++k) {
    if ((mask & (1 << k)) == 0) continue;
    const float* line = CurrentViewWedge.line[k];
    int outside = 0;
    for (const Point3& p : points) outside += line[0] * p.x + line[1] * p.y + line[2] > 0.0f ? 1 : 0;
    if (outside == static_cast<int>(points.size())) return 0;
    if (outside > 0) result |= 1 << k;
  }
  return result != 0 ? result : -1;
}
