#pragma once
#include <optional>
#include <vector>

#include "aggregate/aggregation_builder.h"
#include "app/view/draw_method.h"
#include "app/view/view_wedge.h"
#include "cabtt/cabtt_tree.h"
#include "cache/geometry_cache.h"

// Draws the leaves of a CABTT tree from the geometry cache: a leaf's block is built the first
// time it is drawn (by the builder, or as the full-resolution lattice for the finest aggregate
// size) and drawn again from the cache in later passes; a subtree found outside the view wedge
// gives its blocks back. Holds the culling test's point list between passes so that a frame
// allocates nothing.
class CabttDrawer {
 public:
  // One pass over both trees, tested against the wedge down to cullingLevel levels below the top
  // triangles: counts the aggregate triangles drawn and their sub-triangles into counters, the
  // bytes of new blocks' vertices and every sub-triangle's indices into stats; ends with the cache
  // flushed. Fails when the cache cannot give a block.
  Status DrawPass(CabttTree& tree, const HeightField& field, AggregationBuilder& builder, GeometryCache& cache,
                  const ViewWedge& wedge, int cullingLevel, FrameStats& stats, MethodCounters& counters);

  // Gives back the blocks of every leaf below t; the tree is unchanged.
  void ReleaseSubtreeCache(CabttNode* t);

 private:
  void DrawCulled(CabttNode* t, VertexId leftCorner, VertexId rightCorner, VertexId apex, int depth, int mask);
  void DrawSubtree(CabttNode* t, VertexId apex);
  void DrawAggregateTriangle(CabttNode* t, VertexId apex);

  // The pass in progress.
  const HeightField* field_ = nullptr;
  AggregationBuilder* builder_ = nullptr;
  GeometryCache* cache_ = nullptr;
  const ViewWedge* wedge_ = nullptr;
  FrameStats* stats_ = nullptr;
  MethodCounters* counters_ = nullptr;
  int passSubTriangles_ = 0;
  std::optional<Failure> failure_;

  std::vector<Point3> prismPoints_;
};
