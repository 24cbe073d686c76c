#pragma once
#include <memory>

#include "aggregate/adaptive_node.h"
#include "aggregate/aggregation_builder.h"

// "adaptive": each aggregate triangle is refined greedily, largest error first, within a
// budget of 2 x 4^L nodes; its borders are cut into 2^L equal segments like the lattice's, so
// neighbours built by either kind meet without cracks. A build allocates nothing.
class AdaptiveBuilder final : public AggregationBuilder {
 public:
  AdaptiveBuilder(int level, const HeightField& field, const ErrorMetric& metric);

  float AggregateError(VertexId left, VertexId right, VertexId apex) override;
  int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) override;
  // Leaves of the last build in the alternating walk order, as (left, right, apex).
  void GenerateIndices(BlockOutput& out) override;
  bool IsAdaptive() const override { return true; }

  // The stages of one build, in order; vertices go to out unless it is null.
  void StartBuild(VertexId left, VertexId right, VertexId apex, BlockOutput* out);
  void SplitBorders();
  void Refine();

  float lastError = 0.0f;  // results of the last Refine
  int lastLeaves = 0;

  const int nodeBudget;
  std::unique_ptr<AdaptiveNode[]> nodes;  // the root is nodes[0]
  int nextFreeNode = 0;
  std::unique_ptr<int32_t[]> heap;  // RefinementHeap of node positions, largest priority on top
  int heapEnd = 0;

 protected:
  bool Allocate() override;

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

  BlockOutput* out_ = nullptr;  // the block being written, or null
  Point3 reference_{0.0f, 0.0f, 0.0f};  // world position of the root's split vertex
};
