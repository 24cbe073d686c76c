#include "aggregate/adaptive_build.h"

#include <algorithm>

#include <new>

#include "aggregate/vertex_error.h"

AdaptiveBuild::AdaptiveBuild(int level, const HeightField& field, const ErrorMetric& metric)
    : level(level), nodeBudget(2 << (2 * level)), field_(field), metric_(metric) {}

bool AdaptiveBuild::Allocate() {
  nodes.reset(new (std::nothrow) AdaptiveNode[static_cast<std::size_t>(nodeBudget)]);
  heap.reset(new (std::nothrow) int32_t[static_cast<std::size_t>(nodeBudget)]);
  return nodes != nullptr && heap != nullptr;
}

float AdaptiveBuild::Error(VertexId left, VertexId right, VertexId apex) {
  StartBuild(left, right, apex, nullptr);
  SplitBorders();
  Refine();
  return lastError;
}

int AdaptiveBuild::Vertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) {
  StartBuild(left, right, apex, &out);
  SplitBorders();
  Refine();
  return lastLeaves;
}

void AdaptiveBuild::StartBuild(VertexId left, VertexId right, VertexId apex, BlockOutput* out) {
  out_ = out;
  AdaptiveNode& root = nodes[0];
  root.leftCorner = left;
  root.rightOrChildren = right;
  root.apex = apex;
  root.leftIndex = root.rightIndex = root.apexIndex = -1;
  if (out_ != nullptr) {
    root.leftIndex = out_->NextVertexIndex();
    root.rightIndex = root.leftIndex + 1;
    root.apexIndex = root.leftIndex + 2;
    *out_->vertexCursor++ = field_.WorldPosition(left);
    *out_->vertexCursor++ = field_.WorldPosition(right);
    *out_->vertexCursor++ = field_.WorldPosition(apex);
  }
  root.leftNeighbour = root.rightNeighbour = root.baseNeighbour = -1;
  root.splitVertex = HypotenuseSplitVertex(left, right, field_.n);
  root.priority = 0.0f;

  heapEnd = 0;
  if (root.splitVertex >= 0) {
    reference_ = field_.WorldPosition(root.splitVertex);
    Push(0);
  }
  nextFreeNode = 1;
}

// Cuts each of the three borders into 2^L equal segments, as the uniform lattice does.
void AdaptiveBuild::SplitBorders() {
  for (int round = 0; round < level; ++round) {
    RefineEdge(0, Edge::kHypotenuse);
    RefineEdge(0, Edge::kLeftLeg);
    RefineEdge(0, Edge::kRightLeg);
  }
}

// Splits the leaf of largest priority while the budget has room for another diamond split.
void AdaptiveBuild::Refine() {
  for (;;) {
    const int room = Room();
    if (room == 0) {
      while (heapEnd > 0 && nodes[heap[0]].IsSplit()) PopTop();
      lastError = heapEnd > 0 ? nodes[heap[0]].priority : 0.0f;
      break;
    }
    if (heapEnd == 0) {  // every leaf is a finest grid triangle
      lastError = 0.0f;
      break;
    }
    const int top = PopTop();
    if (nodes[top].IsSplit()) continue;
    if (SplitNode(top, room)) continue;
    lastError = nodes[top].priority;
    break;
  }
  lastLeaves = (nextFreeNode + 1) / 2;
}

// Halves every segment along one edge of a node.
void AdaptiveBuild::RefineEdge(int node, Edge edge) {
  while (nodes[node].IsSplit()) {
    const AdaptiveNode& n = nodes[node];
    if (edge == Edge::kHypotenuse) {
      RefineEdge(n.LeftChild(), Edge::kRightLeg);
      node = n.RightChild();
      edge = Edge::kLeftLeg;
    } else {
      node = edge == Edge::kLeftLeg ? n.LeftChild() : n.RightChild();
      edge = Edge::kHypotenuse;
    }
  }
  if (edge == Edge::kHypotenuse) {
    SplitNode(node, kUnlimited);
    return;
  }
  if (!SplitNode(node, Room())) return;
  const AdaptiveNode& split = nodes[node];
  SplitNode(edge == Edge::kLeftLeg ? split.LeftChild() : split.RightChild(), kUnlimited);
}

// Splits a leaf and its base neighbour, forcing coarser neighbours first. budget counts the
// diamond splits allowed; a limited split never touches the aggregate triangle's border.
// A failed split changes nothing.
bool AdaptiveBuild::SplitNode(int node, int budget) {
  if (nodes[node].splitVertex < 0) return false;
  int base = nodes[node].baseNeighbour;
  if (base >= 0 && nodes[base].baseNeighbour != node) {
    if (budget <= 1) return false;
    if (!SplitNode(base, budget == kUnlimited ? kUnlimited : budget - 1)) return false;
    base = nodes[node].baseNeighbour;
  }
  if (base < 0 && budget != kUnlimited) return false;
  if (nextFreeNode + (base >= 0 ? 4 : 2) > nodeBudget) return false;  // never with a sound budget

  int newIndex = -1;
  if (out_ != nullptr) {
    newIndex = out_->NextVertexIndex();
    *out_->vertexCursor++ = field_.WorldPosition(nodes[node].splitVertex);
  }
  CreateChildren(node, newIndex);
  const int left = nodes[node].LeftChild();
  const int right = nodes[node].RightChild();
  if (base >= 0) {
    CreateChildren(base, newIndex);
    const int baseLeft = nodes[base].LeftChild();
    const int baseRight = nodes[base].RightChild();
    nodes[left].rightNeighbour = baseRight;
    nodes[baseRight].leftNeighbour = left;
    nodes[right].leftNeighbour = baseLeft;
    nodes[baseLeft].rightNeighbour = right;
  }
  return true;
}

namespace {

// Corners and vertex indices of a new child; its links are set by the caller.
void FillChild(AdaptiveNode& child, VertexId left, int leftIndex, VertexId right, int rightIndex, VertexId apex,
               int apexIndex, int n) {
  child.leftCorner = left;
  child.rightOrChildren = right;
  child.apex = apex;
  child.leftIndex = leftIndex;
  child.rightIndex = rightIndex;
  child.apexIndex = apexIndex;
  child.leftNeighbour = child.rightNeighbour = child.baseNeighbour = -1;
  child.splitVertex = HypotenuseSplitVertex(left, right, n);
  child.priority = 0.0f;
}

}  // namespace

void AdaptiveBuild::CreateChildren(int parent, int newIndex) {
  const int n = field_.n;
  const int left = nextFreeNode;
  const int right = nextFreeNode + 1;
  nextFreeNode += 2;
  AdaptiveNode& t = nodes[parent];
  AdaptiveNode& l = nodes[left];
  AdaptiveNode& r = nodes[right];

  FillChild(l, t.apex, t.apexIndex, t.leftCorner, t.leftIndex, t.splitVertex, newIndex, n);
  l.leftNeighbour = right;
  l.baseNeighbour = t.leftNeighbour;
  FillChild(r, t.rightOrChildren, t.rightIndex, t.apex, t.apexIndex, t.splitVertex, newIndex, n);
  r.rightNeighbour = left;
  r.baseNeighbour = t.rightNeighbour;

  LinkOuterNeighbour(left, t.leftNeighbour, parent, &AdaptiveNode::rightNeighbour);
  LinkOuterNeighbour(right, t.rightNeighbour, parent, &AdaptiveNode::leftNeighbour);
  t.leftCorner = -1;
  t.rightOrChildren = left;
}

// A child whose outer neighbour has the child's hypotenuse as its own completes a diamond that
// the neighbour already represents in the heap. Otherwise the child represents itself, and an
// outer neighbour of the parent's level now has the finer child across its leg.
void AdaptiveBuild::LinkOuterNeighbour(int child, int outer, int parent, int32_t AdaptiveNode::*legToChild) {
  if (outer >= 0 && nodes[outer].baseNeighbour == parent) {
    nodes[outer].baseNeighbour = child;
    return;
  }
  if (outer >= 0) nodes[outer].*legToChild = child;
  Push(child);
}

void AdaptiveBuild::Push(int node) {
  AdaptiveNode& n = nodes[node];
  if (n.splitVertex < 0) return;
  const int x = field_.GridX(n.splitVertex);
  const int y = field_.GridY(n.splitVertex);
  n.priority = ErrorAround(field_.GridPosition(x, y), reference_, metric_.At(x, y));
  const AdaptiveNode* all = nodes.get();
  heap[heapEnd++] = node;
  std::push_heap(heap.get(), heap.get() + heapEnd, [all](int a, int b) { return all[a].priority < all[b].priority; });
}

int AdaptiveBuild::PopTop() {
  const AdaptiveNode* all = nodes.get();
  std::pop_heap(heap.get(), heap.get() + heapEnd, [all](int a, int b) { return all[a].priority < all[b].priority; });
  return heap[--heapEnd];
}

void AdaptiveBuild::Indices(BlockOutput& out) {
  out_ = &out;
  EmitLeaves(0, true);
}

// Alternating visits keep consecutive leaves adjacent: visit A takes the left child first,
// visit B the right child, and each hands its children to the other visit.
void AdaptiveBuild::EmitLeaves(int node, bool leftFirst) {
  const AdaptiveNode& n = nodes[node];
  if (!n.IsSplit()) {
    uint16_t* out = out_->indexCursor;
    out[0] = static_cast<uint16_t>(n.leftIndex);
    out[1] = static_cast<uint16_t>(n.rightIndex);
    out[2] = static_cast<uint16_t>(n.apexIndex);
    out_->indexCursor = out + 3;
    return;
  }
  if (leftFirst) {
    EmitLeaves(n.LeftChild(), false);
    EmitLeaves(n.RightChild(), false);
  } else {
    EmitLeaves(n.RightChild(), true);
    EmitLeaves(n.LeftChild(), true);
  }
}
