#pragma once
#include <cstdint>
#include <memory>

#include "aggregate/adaptive_node.h"
#include "aggregate/block_output.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// One adaptive tessellation of an aggregate triangle at a time, and the scratch state it works in:
// the refinement tree's node array and the heap of leaves waiting to be split. The triangle's
// borders are first cut into 2^L equal segments like the uniform lattice's, so neighbours built
// by either kind meet without cracks; then the leaf of largest error is split first, within a
// budget of 2 x 4^L nodes. Builds reuse the storage Allocate made and allocate nothing. Each
// build depends only on its triangle, never on an earlier build, so separate AdaptiveBuilds
// (one per thread) give the same results as one.
class AdaptiveBuild {
 public:
  // The field and metric must outlive it.
  AdaptiveBuild(int level, const HeightField& field, const ErrorMetric& metric);

  // The node array and the heap; false when they cannot be had.
  bool Allocate();

  // The triangle's error: the largest error its tessellation leaves out.
  float Error(VertexId left, VertexId right, VertexId apex);
  // Writes the triangle's vertices; returns the sub-triangle count.
  int Vertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out);
  // Leaves of the last build in the alternating walk order, as (left, right, apex).
  void Indices(BlockOutput& out);

  // The stages of one build, in order; vertices go to out unless it is null.
  void StartBuild(VertexId left, VertexId right, VertexId apex, BlockOutput* out);
  void SplitBorders();
  void Refine();

  float lastError = 0.0f;  // results of the last Refine
  int lastLeaves = 0;

  const int level;
  const int nodeBudget;
  std::unique_ptr<AdaptiveNode[]> nodes;  // the root is nodes[0]
  int nextFreeNode = 0;
  std::unique_ptr<int32_t[]> heap;  // RefinementHeap of node positions, largest priority on top
  int heapEnd = 0;

 private:
  enum class Edge { kLeftLeg, kRightLeg, kHypotenuse };
  static constexpr int kUnlimited = 1 << 30;

  int Room() const { return (nodeBudget - nextFreeNode) >> 2; }
  void RefineEdge(int node, Edge edge);
  bool SplitNode(int node, int budget);
  void CreateChildren(int parent, int newIndex);
  void LinkOuterNeighbour(int child, int outer, int parent, int32_t AdaptiveNode::*legToChild);
  void Push(int node);
  int PopTop();
  void EmitLeaves(int node, bool leftFirst);

  const HeightField& field_;
  const ErrorMetric& metric_;
  BlockOutput* out_ = nullptr;          // the block being written, or null
  Point3 reference_{0.0f, 0.0f, 0.0f};  // world position of the root's split vertex
};
