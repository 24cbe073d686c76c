#include "roam/roam_draw.h"

int RoamCullingDepth(int cullingLevel) { return cullingLevel > 3 ? cullingLevel - 3 : 0; }

bool RoamStreamer::BeginBlock() {
  const Status begun = cache_->BeginBlock(&vertexStart_, &indexStart_);
  if (!begun.ok()) {
    failure_ = begun.failure();
    return false;
  }
  vertexCursor_ = vertexStart_;
  vertexLimit_ = vertexStart_ + kRoamBlockVertices;
  indexCursor_ = indexStart_;
  vertexCounter_ = static_cast<uint16_t>(-1);
  for (VertexId& id : previousIds_) id = -1;
  return true;
}

void RoamStreamer::EndBlock() {
  const int indexCount = static_cast<int>(indexCursor_ - indexStart_);
  passTriangles_ += indexCount / 3;
  const int vertexCount = static_cast<int>(vertexCursor_ - vertexStart_);
  cache_->ReleaseBlock(cache_->EndBlock(vertexCount, indexCount));
}

uint16_t RoamStreamer::IndexOf(VertexId id) {
  for (int i = 0; i < 3; ++i)
    if (previousIds_[i] == id) return previousIndices_[i];
  *vertexCursor_++ = field_->WorldPosition(id);
  return ++vertexCounter_;
}

void RoamStreamer::EmitTriangle(VertexId apex, VertexId left, VertexId right) {
  if (vertexLimit_ - vertexCursor_ <= 3) {
    EndBlock();
    if (!BeginBlock()) return;
  }
  const VertexId ids[3] = {apex, left, right};
  uint16_t indices[3];
  for (int i = 0; i < 3; ++i) indices[i] = IndexOf(ids[i]);
  for (int i = 0; i < 3; ++i) {
    *indexCursor_++ = indices[i];
    previousIds_[i] = ids[i];
    previousIndices_[i] = indices[i];
  }
}

// Two alternating leaf orders, so that consecutive leaves of a refined subtree share an edge.
void RoamStreamer::VisitA(const RoamNode* t, VertexId left, VertexId right, VertexId apex) {
  if (failure_) return;
  if (t->IsLeaf()) {
    EmitTriangle(apex, left, right);
    return;
  }
  VisitB(t->LeftChild(), apex, left, t->splitVertex);
  VisitB(t->RightChild(), right, apex, t->splitVertex);
}

void RoamStreamer::VisitB(const RoamNode* t, VertexId left, VertexId right, VertexId apex) {
  if (failure_) return;
  if (t->IsLeaf()) {
    EmitTriangle(apex, left, right);
    return;
  }
  VisitA(t->RightChild(), right, apex, t->splitVertex);
  VisitA(t->LeftChild(), apex, left, t->splitVertex);
}

void RoamStreamer::Traverse(const RoamNode* t, VertexId left, VertexId right, VertexId apex, int depth, int mask) {
  if (depth == 0) {
    VisitA(t, left, right, apex);
    return;
  }
  prismPoints_.clear();
  AppendTrianglePrism(*field_, apex, left, right, prismPoints_);
  const int straddled = CullPolygon(*wedge_, mask, prismPoints_);
  if (straddled == 0) return;
  if (t->IsLeaf() || straddled == -1) {
    VisitA(t, left, right, apex);
    return;
  }
  Traverse(t->LeftChild(), apex, left, t->splitVertex, depth - 1, straddled);
  Traverse(t->RightChild(), right, apex, t->splitVertex, depth - 1, straddled);
}

Result<int> RoamStreamer::DrawPass(const RoamTree& tree, const HeightField& field, GeometryCache& cache,
                                   const ViewWedge& wedge, int depth) {
  field_ = &field;
  cache_ = &cache;
  wedge_ = &wedge;
  passTriangles_ = 0;
  failure_.reset();
  for (int i = 0; i < 2 && !failure_; ++i) {
    const RoamRoot& root = tree.root(i);
    // A tree with nothing in view still begins and ends its block.
    if (!BeginBlock()) break;
    Traverse(root.Top(), root.topLeftCorner, root.topRightCorner, root.node.splitVertex, depth, 7);
    if (!failure_) EndBlock();
  }
  cache.Flush();
  if (failure_) return *failure_;
  return passTriangles_;
}
