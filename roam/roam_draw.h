#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "app/platform/failure.h"
#include "app/view/view_wedge.h"
#include "cache/geometry_cache.h"
#include "roam/roam_tree.h"

// Block sizes Standard ROAM asks of the geometry cache: a triangle never shares a vertex with
// the previous block, and a block is closed before it could exceed 1023 vertices, so at most
// 1021 triangles (3063 indices) fit.
constexpr int kRoamBlockVertices = 1024;
constexpr int kRoamBlockIndices = 3066;

// Depth of the view-wedge tests below the top triangles for a culling level: level - 3, not
// below 0.
int RoamCullingDepth(int cullingLevel);

// Streams the leaves of a Standard ROAM tree through a geometry cache: every block is written,
// drawn and given back in the same pass. Leaves come in an order in which consecutive ones share
// an edge, and a vertex is written again unless the previous triangle of the block has it. Holds
// its write position and the culling test's point list between passes so that a frame allocates
// nothing.
class RoamStreamer {
 public:
  // One pass over both trees, culled against the wedge down to depth, ending with the cache
  // flushed; returns the triangles drawn, or the cache's failure.
  Result<int> DrawPass(const RoamTree& tree, const HeightField& field, GeometryCache& cache, const ViewWedge& wedge,
                       int depth);

 private:
  bool BeginBlock();
  void EndBlock();
  uint16_t IndexOf(VertexId id);
  void EmitTriangle(VertexId apex, VertexId left, VertexId right);
  void VisitA(const RoamNode* t, VertexId left, VertexId right, VertexId apex);
  void VisitB(const RoamNode* t, VertexId left, VertexId right, VertexId apex);
  void Traverse(const RoamNode* t, VertexId left, VertexId right, VertexId apex, int depth, int mask);

  // The pass in progress.
  const HeightField* field_ = nullptr;
  GeometryCache* cache_ = nullptr;
  const ViewWedge* wedge_ = nullptr;
  int passTriangles_ = 0;
  std::optional<Failure> failure_;

  // The block being filled and the triangle written last, whose vertices the next one may share.
  CacheVertex* vertexStart_ = nullptr;
  CacheVertex* vertexCursor_ = nullptr;
  CacheVertex* vertexLimit_ = nullptr;
  uint16_t* indexStart_ = nullptr;
  uint16_t* indexCursor_ = nullptr;
  uint16_t vertexCounter_ = 0;  // index of the last vertex written
  VertexId previousIds_[3] = {-1, -1, -1};
  uint16_t previousIndices_[3] = {0, 0, 0};

  std::vector<Point3> prismPoints_;
};
