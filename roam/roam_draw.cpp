#include "roam/roam_draw.h"

#include <cstdint>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cache/geometry_cache.h"
#include "roam/roam_state.h"

namespace {

constexpr int kBytesPerTriangle = 18;

// The block being filled and the triangle written last, whose vertices the next one may share.
struct BlockWriter {
  CacheVertex* vertexStart;
  CacheVertex* vertexCursor;
  CacheVertex* vertexLimit;
  uint16_t* indexStart;
  uint16_t* indexCursor;
  uint16_t vertexCounter;  // index of the last vertex written
  VertexId previousIds[3];
  uint16_t previousIndices[3];
};

BlockWriter writer;
int32_t passTriangles = 0;
std::vector<Point3> prismPoints;
const HeightField* field = nullptr;

void BeginBlock() {
  uint16_t* indices = nullptr;
  ActiveCache->BeginBlock(&writer.vertexStart, &indices);
  writer.vertexCursor = writer.vertexStart;
  writer.vertexLimit = writer.vertexStart + kRoamBlockVertices;
  writer.indexStart = indices;
  writer.indexCursor = indices;
  writer.vertexCounter = static_cast<uint16_t>(-1);
  for (int i = 0; i < 3; ++i) writer.previousIds[i] = -1;
}

void EndBlock() {
  const int indexCount = static_cast<int>(writer.indexCursor - writer.indexStart);
  passTriangles += indexCount / 3;
  const int vertexCount = static_cast<int>(writer.vertexCursor - writer.vertexStart);
  ActiveCache->ReleaseBlock(ActiveCache->EndBlock(vertexCount, indexCount));
}

uint16_t IndexOf(VertexId id) {
  for (int i = 0; i < 3; ++i)
    if (writer.previousIds[i] == id) return writer.previousIndices[i];
  *writer.vertexCursor++ = field->WorldPosition(id);
  return ++writer.vertexCounter;
}

void EmitTriangle(VertexId apex, VertexId left, VertexId right) {
  if (writer.vertexLimit - writer.vertexCursor <= 3) {
    EndBlock();
    BeginBlock();
  }
  const VertexId ids[3] = {apex, left, right};
  uint16_t indices[3];
  for (int i = 0; i < 3; ++i) indices[i] = IndexOf(ids[i]);
  for (int i = 0; i < 3; ++i) {
    *writer.indexCursor++ = indices[i];
    writer.previousIds[i] = ids[i];
    writer.previousIndices[i] = indices[i];
  }
}

// Two alternating leaf orders, so that consecutive leaves of a refined subtree share an edge.
void VisitB(const BintreeTriangle* t, VertexId left, VertexId right, VertexId apex);

void VisitA(const BintreeTriangle* t, VertexId left, VertexId right, VertexId apex) {
  if (t->IsLeaf()) {
    EmitTriangle(apex, left, right);
    return;
  }
  VisitB(&t->children->left, apex, left, t->splitVertex);
  VisitB(&t->children->right, right, apex, t->splitVertex);
}

void VisitB(const BintreeTriangle* t, VertexId left, VertexId right, VertexId apex) {
  if (t->IsLeaf()) {
    EmitTriangle(apex, left, right);
    return;
  }
  VisitA(&t->children->right, right, apex, t->splitVertex);
  VisitA(&t->children->left, apex, left, t->splitVertex);
}

void Traverse(const BintreeTriangle* t, VertexId left, VertexId right, VertexId apex, int depth, int mask) {
  if (depth == 0) {
    VisitA(t, left, right, apex);
    return;
  }
  prismPoints.clear();
  AppendTrianglePrism(apex, left, right, prismPoints);
  const int straddled = CullPolygon(mask, prismPoints);
  if (straddled == 0) return;
  if (t->IsLeaf() || straddled == -1) {
    VisitA(t, left, right, apex);
    return;
  }
  Traverse(&t->children->left, apex, left, t->splitVertex, depth - 1, straddled);
  Traverse(&t->children->right, right, apex, t->splitVertex, depth - 1, straddled);
}

void DrawTree(const RootRecord& root, int depth) {
  BeginBlock();
  Traverse(&root.triangle.children->left, root.leftCorner, root.rightCorner, root.triangle.splitVertex, depth, 7);
  EndBlock();
}

}  // namespace

int RoamCullingDepth() { return CullingLevel > 3 ? CullingLevel - 3 : 0; }

void DrawRoamPass(int depth) {
  field = CurrentHeightField;
  DrawTree(RoamRoots[0], depth);
  DrawTree(RoamRoots[1], depth);
  Stats.bytes += static_cast<double>(kBytesPerTriangle) * passTriangles;
  Stats.triangles += passTriangles;
  passTriangles = 0;
}
