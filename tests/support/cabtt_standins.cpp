// Minimal definitions of not-yet-merged symbols used by the CABTT code and tests. Each follows
// the documented behaviour closely enough for the CABTT tests; none is part of the program.
#include "cabtt_standins.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "aggregate/aggregation_builder.h"
#include "aggregate/block_output.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "app/window_system.h"
#include "app/wireframe.h"
#include "cabtt_fakes.h"
#include "cache/geometry_cache.h"

// ---- app/camera.h
CameraView Cameras[3];
Point3 CameraUp[3];
int CurrentCamera = 0;
FlightState Flight;
int WindowWidth = 640;
int WindowHeight = 480;
int CullingLevel = 14;
int WireframeMode = 0;

void ResetViewState() {
  Cameras[0] = {{0, 0, 0}, {1, 0, 0}, 45.0f};
  Cameras[1] = {{0.5f, 0.5f, 30}, {0.5f, 0.5f, 0}, 1.25f};
  Cameras[2] = {{0.5f, 0.5f, 30}, {0.5f, 0.5f, 0}, 1.9f};
  CameraUp[0] = {0, 0, 1};
  CameraUp[1] = {0, 1, 0};
  CameraUp[2] = {0, 1, 0};
  CurrentCamera = 0;
  Flight = {0.5f, 0.5f, 0.05f, 0.02f, 0, 0, 0, 0, true};
  CullingLevel = 14;
  WireframeMode = 0;
}

// ---- app/frame_loop.h
DrawMethod DrawMethods[kMaxDrawMethods];
int DrawMethodCount = kMaxDrawMethods;
int CurrentDrawMethod = -1;
FrameStats Stats;

void SetDrawMethod(int index) {
  if (index == CurrentDrawMethod) return;
  if (CurrentDrawMethod >= 0 && CurrentDrawMethod < DrawMethodCount &&
      DrawMethods[CurrentDrawMethod].deactivate != nullptr) {
    DrawMethods[CurrentDrawMethod].deactivate();
  }
  CurrentDrawMethod = index;
  const bool valid = index >= 0 && index < DrawMethodCount;
  if (Window.setKeyboardHandler != nullptr) {
    Window.setKeyboardHandler(valid ? DrawMethods[index].keyboard : OnKey);
  }
  if (valid && DrawMethods[index].activate != nullptr) DrawMethods[index].activate();
}

void ResetFrameLoop() {
  for (DrawMethod& method : DrawMethods) method = {};
  DrawMethodCount = kMaxDrawMethods;
  CurrentDrawMethod = -1;
  Stats = {};
}

// ---- app/window_system.h
WindowSystem Window = {};

// ---- app/keys.h
void OnKey(unsigned char key, int, int) {
  if (key == 'W' || key == 'w') {
    WireframeMode = (WireframeMode + 1) % 4;
    Flight.moved = true;
  }
}

// ---- app/view_wedge.h
ViewWedge CurrentViewWedge;

void ComputeViewWedge() {
  const Point3 e = Cameras[0].eye;
  const Point3 f = Cameras[0].centre;
  const float dx = f.x - e.x;
  const float dy = f.y - e.y;
  const float u = std::tan(Cameras[0].fieldOfView * 0.5f * 3.14159265358979323846f / 180.0f) *
                  static_cast<float>(WindowWidth) / static_cast<float>(WindowHeight);
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
    bool anyOutside = false;
    bool anyInside = false;
    for (const Point3& p : points) {
      (line[0] * p.x + line[1] * p.y + line[2] > 0.0f ? anyOutside : anyInside) = true;
    }
    if (!anyInside) return 0;
    if (anyOutside) result |= 1 << k;
  }
  return result != 0 ? result : -1;
}

// ---- app/wireframe.h
void SecondPassTexturedGrid() {
  glDisable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT, GL_LINE);
}

void SecondPassHiddenLine() {
  glPolygonMode(GL_FRONT, GL_LINE);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
}

// ---- cache/geometry_cache.h
void CreateSystemMemoryCache() {
  delete ActiveCache;
  ActiveCache = new RecordingGeometryCache;
}

void CreateVideoMemoryCache() {
  delete ActiveCache;
  ActiveCache = new RecordingGeometryCache;
}

// ---- aggregate/block_output.h
CacheVertex* BlockVertexStart = nullptr;
CacheVertex* BlockVertexCursor = nullptr;
uint16_t* BlockIndexCursor = nullptr;
bool EmitVertices = false;

// ---- aggregate/aggregation_builder.h
void SelectAggregationBuilder(int level, bool adaptive) {
  if (CurrentAggregationBuilder != nullptr && CurrentAggregationBuilder->level == level &&
      CurrentAggregationBuilder->IsAdaptive() == adaptive) {
    return;
  }
  DiscardAggregationBuilder();
  CurrentAggregationBuilder = new FakeAggregationBuilder(level, adaptive);
}

namespace {

struct GridPoint {
  int x;
  int y;
};

GridPoint Coordinates(VertexId id) {
  return {CurrentHeightField->GridX(id), CurrentHeightField->GridY(id)};
}

VertexId Midpoint(VertexId a, VertexId b) {
  const GridPoint p = Coordinates(a);
  const GridPoint q = Coordinates(b);
  return CurrentHeightField->Id((p.x + q.x) / 2, (p.y + q.y) / 2);
}

void VisitForErrorGrid(AggregationBuilder& builder, VertexId apex, VertexId left, VertexId right) {
  const float error = builder.AggregateError(left, right, apex);
  const VertexId m = Midpoint(left, right);
  float& entry = builder.errorGrid[((m >> builder.level) & (2 * builder.coarseSide - 1)) +
                                   (m >> builder.coarseRowShift) * (builder.coarseSide + 1)];
  if (error >= entry) entry = error;
  const GridPoint a = Coordinates(apex);
  const GridPoint l = Coordinates(left);
  const int step = 1 << builder.level;
  if (std::abs(a.x - l.x) <= step && std::abs(a.y - l.y) <= step) return;
  VisitForErrorGrid(builder, m, apex, left);
  VisitForErrorGrid(builder, m, right, apex);
}

}  // namespace

void AggregationBuilder::BuildErrorGrid() {
  delete[] errorGrid;
  const int entries = (coarseSide + 1) * (coarseSide + 1);
  errorGrid = new float[entries];
  std::fill(errorGrid, errorGrid + entries, 0.0f);
  const HeightField& field = *CurrentHeightField;
  const int N = field.N;
  VisitForErrorGrid(*this, field.Id(N, 0), field.Id(0, 0), field.Id(N, N));
  VisitForErrorGrid(*this, field.Id(0, N), field.Id(N, N), field.Id(0, 0));
}

int AggregationBuilder::UniformVertices(VertexId left, VertexId right, VertexId apex) {
  const int side = 1 << level;
  const VertexId u = (right - left) >> level;
  const VertexId w = (apex - left) >> level;
  for (int r = 0; r <= side; ++r) {
    for (int k = 0; k <= side - r; ++k) {
      *BlockVertexCursor++ = CurrentHeightField->WorldPosition(left + r * u + k * w);
    }
  }
  return subTriangleCapacity;
}

void AggregationBuilder::UniformIndices() {
  const int side = 1 << level;
  auto v = [side](int r, int k) {
    return static_cast<uint16_t>(r * (side + 1) - r * (r - 1) / 2 + k);
  };
  auto emit = [](uint16_t a, uint16_t b, uint16_t c) {
    *BlockIndexCursor++ = a;
    *BlockIndexCursor++ = b;
    *BlockIndexCursor++ = c;
  };
  if (level == 0) {
    emit(0, 2, 1);
    return;
  }
  for (int r = 1; r < side; r += 2) {
    uint16_t z = v(r, 0);
    emit(z, v(r - 1, 1), v(r - 1, 0));
    emit(z, v(r - 1, 2), v(r - 1, 1));
    emit(z, v(r, 1), v(r - 1, 2));
    emit(z, v(r + 1, 0), v(r, 1));
    for (int k = 2; k <= side - r - 1; k += 2) {
      z = v(r, k);
      emit(z, v(r - 1, k), v(r, k - 1));
      emit(z, v(r, k - 1), v(r + 1, k - 2));
      emit(z, v(r + 1, k - 2), v(r + 1, k - 1));
      emit(z, v(r + 1, k - 1), v(r + 1, k));
      emit(z, v(r + 1, k), v(r, k + 1));
      emit(z, v(r, k + 1), v(r - 1, k + 2));
      emit(z, v(r - 1, k + 2), v(r - 1, k + 1));
      emit(z, v(r - 1, k + 1), v(r - 1, k));
    }
  }
}
