#include "roam/roam_method.h"

#include <GL/gl.h>

#include "app/camera.h"
#include "app/keys.h"
#include "app/terrain_log.h"
#include "app/view_wedge.h"
#include "app/wireframe.h"
#include "cache/geometry_cache.h"
#include "roam/roam_draw.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"

namespace {

// Sets the first pass's state for the current WireframeMode; returns the switch to the second
// pass, or null when the mode has one pass.
PassAction ApplyFirstPassState() {
  switch (WireframeMode) {
    case 0:
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      glDisable(GL_POLYGON_OFFSET_LINE);
      return nullptr;
    case 1:
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      return SecondPassTexturedGrid;
    case 2:
      glDisable(GL_TEXTURE_2D);
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glPolygonMode(GL_FRONT, GL_FILL);
      glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      return SecondPassHiddenLine;
    case 3:
      glDisable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_LINE);
      glDisable(GL_POLYGON_OFFSET_LINE);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      return nullptr;
    default:
      return nullptr;
  }
}

double PerFrame(uint64_t count) {
  // No frames since the last reset: nothing per frame rather than a division by zero.
  if (Stats.frames == 0) return 0.0;
  return static_cast<double>(count) / static_cast<double>(Stats.frames);
}

}  // namespace

void StartRoamTree(Point3 eye) {
  StartTravel(eye);
  RoamPairPool.Activate();
  CreateRoots();
}

void StopRoamTree() {
  SplitQueue.Clear();
  MergeQueue.Clear();
  FreeRoots();
  RoamPairPool.ReleaseAll();
}

void ActivateRoam() {
  LogAndPrint("Using Standard ROAM drawing method\n");
  CreateGeometryCache();
  StartRoamTree(Cameras[0].eye);
  ActiveCache->Init(kRoamBlockVertices, kRoamBlockIndices);
}

void DrawRoam() {
  LoadCameraModelView();
  if (CullingLevel != 0) ComputeViewWedge();
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glPolygonOffset(-1.0f, 0.0f);
  const PassAction secondPass = ApplyFirstPassState();
  RoamUpdate(Cameras[0].eye);
  const int depth = RoamCullingDepth();
  DrawRoamPass(depth);
  if (secondPass != nullptr) {
    secondPass();
    DrawRoamPass(depth);
  }
}

void DeactivateRoam() {
  StopRoamTree();
  ActiveCache->Shutdown();
}

void PrintRoamStats() {
  LogPrintf("%.2f merge tests, %.2f merges, %.2f split tests, %.2f splits, %.2f force splits per frame\n",
            PerFrame(RoamCounters.mergeTests), PerFrame(RoamCounters.merges), PerFrame(RoamCounters.splitTests),
            PerFrame(RoamCounters.splits), PerFrame(RoamCounters.forceSplits));
}

void ResetRoamStats() { RoamCounters = {}; }

DrawMethod StandardRoamMethod() {
  return {ActivateRoam, DrawRoam, DeactivateRoam, OnKey, PrintRoamStats, ResetRoamStats};
}
