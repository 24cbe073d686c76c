#include "cabtt/cabtt_draw.h"

#include <GL/gl.h>

#include <vector>

#include "aggregate/aggregation_builder.h"
#include "aggregate/block_output.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"

namespace {

constexpr int kAllWedgePlanes = 7;

// Bounding-prism points of the node under test; kept so that culling allocates nothing.
std::vector<Point3> PrismPoints;

}  // namespace

void ApplyCabttWireframeState(int mode) {
  switch (mode) {
    case 0:
      glDisable(GL_POLYGON_OFFSET_LINE);
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      glDisable(GL_POLYGON_OFFSET_LINE);
      break;
    case 1:
      // The lines of the second pass are pulled towards the eye, or the surface of the first
      // would hide them.
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      break;
    case 2:
      glDisable(GL_TEXTURE_2D);
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glPolygonMode(GL_FRONT, GL_FILL);
      glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      break;
    case 3:
      glDisable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_LINE);
      glDisable(GL_POLYGON_OFFSET_LINE);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      break;
    default:
      break;
  }
}

PassAction CabttSecondPassAction(int mode) {
  if (mode == 1) return SecondPassTexturedGrid;
  if (mode == 2) return SecondPassHiddenLine;
  return nullptr;
}

void DrawCabtt() {
  LoadCameraModelView();
  ComputeViewWedge();
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glPolygonOffset(-1.0f, 0.0f);
  ApplyCabttWireframeState(WireframeMode);
  // Refinement follows the flown camera whichever camera draws the picture.
  RefineCabtt(Cameras[0].eye, CabttSecondPassAction(WireframeMode));
}

void DrawCabttPasses(PassAction secondPass) {
  for (;;) {
    for (int i = 0; i < 2; ++i) {
      const CabttRoot& root = CabttRoots[i];
      DrawCulled(root.Top(), root.topLeftCorner, root.topRightCorner, root.node.splitVertex,
                 CullingLevel, kAllWedgePlanes);
    }
    // Only the indices count for cached blocks: three 16-bit indices per sub-triangle.
    Stats.bytes += 6.0 * FrameSubTriangles;
    Stats.triangles += FrameSubTriangles;
    CabttCounters.subTrianglesDrawn += static_cast<uint64_t>(FrameSubTriangles);
    FrameSubTriangles = 0;
    if (secondPass == nullptr) break;
    secondPass();
    secondPass = nullptr;
  }
}

void DrawCulled(AggregateTriangle* t, VertexId leftCorner, VertexId rightCorner, VertexId apex,
                int depth, int mask) {
  // The right child continues in the loop; only left children recurse.
  for (;;) {
    if (depth == 0) {
      DrawSubtree(t, apex);
      return;
    }
    PrismPoints.clear();
    AppendTrianglePrism(apex, leftCorner, rightCorner, PrismPoints);
    const int planes = CullPolygon(mask, PrismPoints);
    if (planes == 0) {
      ReleaseSubtreeCache(t);
      return;
    }
    if (t->IsLeaf() || planes == -1) {
      DrawSubtree(t, apex);
      return;
    }
    const VertexId splitVertex = t->splitVertex;
    DrawCulled(t->LeftChild(), apex, leftCorner, splitVertex, depth - 1, planes);
    t = t->RightChild();
    leftCorner = rightCorner;
    rightCorner = apex;
    apex = splitVertex;
    depth -= 1;
    mask = planes;
  }
}

void DrawSubtree(AggregateTriangle* t, VertexId apex) {
  if (t->IsLeaf()) {
    DrawAggregateTriangle(t, apex);
    return;
  }
  DrawSubtree(t->LeftChild(), t->splitVertex);
  DrawSubtree(t->RightChild(), t->splitVertex);
}

void DrawAggregateTriangle(AggregateTriangle* t, VertexId apex) {
  ++CabttCounters.aggregateTrianglesDrawn;
  if (t->block != kNoBlock) {
    ActiveCache->DrawBlock(t->block);
    FrameSubTriangles += t->subTriangles;
    return;
  }
  CacheVertex* vertices;
  uint16_t* indices;
  ActiveCache->BeginBlock(&vertices, &indices);
  BlockVertexStart = vertices;
  BlockVertexCursor = vertices;
  BlockIndexCursor = indices;
  EmitVertices = true;
  AggregationBuilder& builder = *CurrentAggregationBuilder;
  int subTriangles;
  if (t->splitVertex == -1) {
    // The finest aggregates are never split, so they are always built at full resolution.
    subTriangles = builder.UniformVertices(t->leftCorner, t->rightCorner, apex);
    builder.UniformIndices();
  } else {
    subTriangles = builder.GenerateVertices(t->leftCorner, t->rightCorner, apex);
    builder.GenerateIndices();
  }
  t->subTriangles = subTriangles;
  // Vertex bytes booked for a new block.
  const int bookedVertices = ((subTriangles + (3 << (2 * AggregationLevel))) >> 1) + 1;
  Stats.bytes += 12.0 * bookedVertices;
  EmitVertices = false;
  t->block = ActiveCache->EndBlock(static_cast<int>(BlockVertexCursor - BlockVertexStart),
                                   3 * subTriangles);
  FrameSubTriangles += subTriangles;
}

void ReleaseSubtreeCache(AggregateTriangle* t) {
  if (!t->IsLeaf()) {
    ReleaseSubtreeCache(t->LeftChild());
    ReleaseSubtreeCache(t->RightChild());
    return;
  }
  if (t->block != kNoBlock) {
    ActiveCache->ReleaseBlock(t->block);
    t->block = kNoBlock;
  }
}
