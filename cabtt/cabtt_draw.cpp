#include "cabtt/cabtt_draw.h"

namespace {

constexpr int kAllWedgePlanes = 7;

}  // namespace

Status CabttDrawer::DrawPass(CabttTree& tree, const HeightField& field, AggregationBuilder& builder,
                             GeometryCache& cache, const ViewWedge& wedge, int cullingLevel, FrameStats& stats,
                             MethodCounters& counters) {
  field_ = &field;
  builder_ = &builder;
  cache_ = &cache;
  wedge_ = &wedge;
  stats_ = &stats;
  counters_ = &counters;
  passSubTriangles_ = 0;
  failure_.reset();
  for (int i = 0; i < 2 && !failure_; ++i) {
    const CabttRoot& root = tree.root(i);
    DrawCulled(root.Top(), root.topLeftCorner, root.topRightCorner, root.node.splitVertex, cullingLevel,
               kAllWedgePlanes);
  }
  cache.Flush();
  if (failure_) return *failure_;
  // Only the indices count for cached blocks: three 16-bit indices per sub-triangle.
  stats.bytes += 6.0 * passSubTriangles_;
  stats.triangles += passSubTriangles_;
  counters.subTrianglesDrawn += static_cast<uint64_t>(passSubTriangles_);
  return {};
}

void CabttDrawer::DrawCulled(CabttNode* t, VertexId leftCorner, VertexId rightCorner, VertexId apex, int depth,
                             int mask) {
  // The right child continues in the loop; only left children recurse.
  for (;;) {
    if (depth == 0) {
      DrawSubtree(t, apex);
      return;
    }
    prismPoints_.clear();
    AppendTrianglePrism(*field_, apex, leftCorner, rightCorner, prismPoints_);
    const int planes = CullPolygon(*wedge_, mask, prismPoints_);
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

void CabttDrawer::DrawSubtree(CabttNode* t, VertexId apex) {
  if (t->IsLeaf()) {
    DrawAggregateTriangle(t, apex);
    return;
  }
  DrawSubtree(t->LeftChild(), t->splitVertex);
  DrawSubtree(t->RightChild(), t->splitVertex);
}

void CabttDrawer::DrawAggregateTriangle(CabttNode* t, VertexId apex) {
  if (failure_) return;
  ++counters_->aggregateTrianglesDrawn;
  CachedBlock& cached = t->leaf;
  if (cached.block != kNoBlock) {
    cache_->DrawBlock(cached.block);
    passSubTriangles_ += cached.subTriangles;
    return;
  }
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache_->BeginBlock(&vertices, &indices);
  if (!begun.ok()) {
    failure_ = begun.failure();
    return;
  }
  BlockOutput out{vertices, vertices, indices};
  int subTriangles;
  if (t->splitVertex == -1) {
    // The finest aggregates are never split, so they are always built at full resolution.
    subTriangles = builder_->UniformVertices(t->leftCorner, t->rightCorner, apex, out);
    builder_->UniformIndices(out);
  } else {
    subTriangles = builder_->GenerateVertices(t->leftCorner, t->rightCorner, apex, out);
    builder_->GenerateIndices(out);
  }
  cached.subTriangles = subTriangles;
  // Vertex bytes booked for a new block.
  const int bookedVertices = ((subTriangles + (3 << (2 * builder_->level))) >> 1) + 1;
  stats_->bytes += 12.0 * bookedVertices;
  cached.block = cache_->EndBlock(out.VerticesWritten(), 3 * subTriangles);
  passSubTriangles_ += subTriangles;
}

void CabttDrawer::ReleaseSubtreeCache(CabttNode* t) {
  if (!t->IsLeaf()) {
    ReleaseSubtreeCache(t->LeftChild());
    ReleaseSubtreeCache(t->RightChild());
    return;
  }
  if (t->leaf.block != kNoBlock) {
    cache_->ReleaseBlock(t->leaf.block);
    t->leaf.block = kNoBlock;
  }
}
