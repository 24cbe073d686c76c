#include "support/roam_invariants.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <unordered_map>

#include "roam/roam_state.h"

namespace {

struct Node {
  VertexId apex, left, right;
  int depth;
};

std::string Describe(const HeightField& field, VertexId id) {
  std::ostringstream out;
  out << "(" << field.GridX(id) << "," << field.GridY(id) << ")";
  return out.str();
}

class Checker {
 public:
  Checker() : field_(*CurrentHeightField) {}

  std::string Run() {
    if (RoamRoots == nullptr) return "no roots";
    if (!CheckRoots()) return failure_;
    nodes_.reserve(static_cast<size_t>(2 * RoamPairPool.PairsInUse() + 16));
    leaves.reserve(static_cast<size_t>(RoamPairPool.PairsInUse() + 16));
    for (int i = 0; i < 2; ++i) {
      const RootRecord& root = RoamRoots[i];
      Walk(&root.triangle.children->left, &root.triangle, root.triangle.splitVertex, root.leftCorner, root.rightCorner, 0);
      if (!failure_.empty()) return failure_;
    }
    if (CheckLinks() && CheckQueues() && CheckPool()) return "";
    return failure_;
  }

  std::vector<RoamLeaf> leaves;

 private:
  bool Fail(const std::string& message) {
    if (failure_.empty()) failure_ = message;
    return false;
  }

  std::string Name(const BintreeTriangle* t) const {
    auto it = nodes_.find(t);
    if (it == nodes_.end()) return "triangle outside the tree";
    const Node& n = it->second;
    return "triangle apex " + Describe(field_, n.apex) + " left " + Describe(field_, n.left) + " right " +
           Describe(field_, n.right) + " depth " + std::to_string(n.depth);
  }

  bool CheckRoots() {
    for (int i = 0; i < 2; ++i) {
      const RootRecord& root = RoamRoots[i];
      const BintreeTriangle& t = root.triangle;
      if (t.leftCorner != -1 || t.children == nullptr) return Fail("root " + std::to_string(i) + " is not split");
      if (t.parent != nullptr || t.leftNeighbour != nullptr || t.rightNeighbour != nullptr)
        return Fail("root " + std::to_string(i) + " has a parent or leg neighbours");
      if (t.baseNeighbour != &RoamRoots[1 - i].triangle) return Fail("root " + std::to_string(i) + " is not based on the other root");
      if (t.key != kUnfiledKey) return Fail("root " + std::to_string(i) + " has a key");
      const BintreeTriangle& placeholder = t.children->right;
      if (placeholder.leftCorner != -1 || placeholder.children != nullptr || placeholder.splitVertex != -1 ||
          placeholder.baseNeighbour != nullptr || placeholder.key != kUnfiledKey || placeholder.parent != &t)
        return Fail("placeholder of root " + std::to_string(i) + " changed");
      if (t.children->left.parent != &t) return Fail("base triangle " + std::to_string(i) + " has the wrong parent");
    }
    return true;
  }

  void Walk(const BintreeTriangle* t, const BintreeTriangle* parent, VertexId apex, VertexId left, VertexId right, int depth) {
    if (!failure_.empty()) return;
    if (!nodes_.emplace(t, Node{apex, left, right, depth}).second) {
      Fail("a triangle is reached twice");
      return;
    }
    if (t->parent != parent) {
      Fail(Name(t) + " has the wrong parent");
      return;
    }
    if (t->splitVertex != SplitVertexOf(left, right)) {
      Fail(Name(t) + " has the wrong split vertex");
      return;
    }
    if (t->IsLeaf()) {
      if (t->leftCorner != left || t->rightCorner != right) Fail(Name(t) + " stores other corners");
      leaves.push_back({t, apex, left, right, depth});
      return;
    }
    if (t->splitVertex == -1 || t->children == nullptr) {
      Fail(Name(t) + " is split without children");
      return;
    }
    ++splitTriangles_;
    Walk(&t->children->left, t, t->splitVertex, apex, left, depth + 1);
    Walk(&t->children->right, t, t->splitVertex, right, apex, depth + 1);
  }

  static uint64_t EdgeKey(VertexId a, VertexId b) {
    const auto lo = static_cast<uint32_t>(a < b ? a : b);
    const auto hi = static_cast<uint32_t>(a < b ? b : a);
    return (static_cast<uint64_t>(hi) << 32) | lo;
  }

  bool OnBorder(VertexId a, VertexId b) const {
    const int N = field_.N;
    const int ax = field_.GridX(a), ay = field_.GridY(a), bx = field_.GridX(b), by = field_.GridY(b);
    return (ax == bx && (ax == 0 || ax == N)) || (ay == by && (ay == 0 || ay == N));
  }

  // The leaf across edge a-b from t, or null; false when the edge is not shared properly.
  bool Across(const BintreeTriangle* t, VertexId a, VertexId b, const BintreeTriangle** other) {
    *other = nullptr;
    const uint64_t key = EdgeKey(a, b);
    auto it = std::lower_bound(edges_.begin(), edges_.end(), key, [](const EdgeUse& x, uint64_t k) { return x.key < k; });
    int sharing = 0;
    for (; it != edges_.end() && it->key == key; ++it, ++sharing)
      if (it->triangle != t) *other = it->triangle;
    if (sharing > 2) return Fail("edge " + Describe(field_, a) + "-" + Describe(field_, b) + " is shared by more than two leaves");
    if (*other == nullptr && !OnBorder(a, b))
      return Fail(Name(t) + ": no leaf across the inner edge " + Describe(field_, a) + "-" + Describe(field_, b) + " (T-junction)");
    return true;
  }

  bool CheckLinks() {
    edges_.reserve(3 * leaves.size());
    for (const RoamLeaf& leaf : leaves) {
      edges_.push_back({EdgeKey(leaf.apex, leaf.left), leaf.triangle});
      edges_.push_back({EdgeKey(leaf.apex, leaf.right), leaf.triangle});
      edges_.push_back({EdgeKey(leaf.left, leaf.right), leaf.triangle});
    }
    std::sort(edges_.begin(), edges_.end(), [](const EdgeUse& x, const EdgeUse& y) { return x.key < y.key; });
    for (const RoamLeaf& leaf : leaves) {
      const BintreeTriangle* t = leaf.triangle;
      const BintreeTriangle* other;
      if (!Across(t, leaf.apex, leaf.left, &other)) return false;
      if (t->leftNeighbour != other) return Fail(Name(t) + " has a wrong left neighbour");
      if (!Across(t, leaf.apex, leaf.right, &other)) return false;
      if (t->rightNeighbour != other) return Fail(Name(t) + " has a wrong right neighbour");
      if (!Across(t, leaf.left, leaf.right, &other)) return false;
      if (t->baseNeighbour != other) return Fail(Name(t) + " has a wrong base neighbour");
    }
    for (const auto& [t, node] : nodes_) {
      if (t->IsLeaf()) continue;
      const BintreeTriangle* b = t->baseNeighbour;
      if (b == nullptr) {
        if (!OnBorder(node.left, node.right)) return Fail(Name(t) + " is split with an inner hypotenuse and no base neighbour");
        continue;
      }
      if (nodes_.find(b) == nodes_.end()) return Fail(Name(t) + " has a base neighbour outside the tree");
      if (b->IsLeaf() || b->baseNeighbour != t) return Fail(Name(t) + " is split but its base neighbour is not its split partner");
      const Node& bn = nodes_[b];
      if (bn.left != node.right || bn.right != node.left) return Fail(Name(t) + " and its base neighbour do not share the hypotenuse");
    }
    return true;
  }

  static bool ChildrenAreLeaves(const BintreeTriangle* t) {
    return t->IsSplit() && t->children != nullptr && t->children->left.IsLeaf() && t->children->right.IsLeaf();
  }

  bool CollectQueue(const BucketQueue& queue, const char* name, std::unordered_map<const BintreeTriangle*, int>& counts) {
    int entries = 0;
    bool ok = true;
    queue.ForEachEntry([&](int bucket, const BintreeTriangle* t) {
      ++entries;
      ++counts[t];
      if (!ok) return;
      if (nodes_.find(t) == nodes_.end() && !IsRootTriangle(t)) {
        ok = Fail(std::string("the ") + name + " queue holds a triangle that is not in the tree");
        return;
      }
      if (bucket != BucketQueue::kOverflowBucket && queue.BucketOf(t->key) != bucket)
        ok = Fail(std::string("the ") + name + " queue holds " + Name(t) + " outside the bucket of its key");
    });
    if (!ok) return false;
    if (entries != queue.Size()) return Fail(std::string("the ") + name + " queue miscounts its entries");
    if (entries + queue.FreeEntrySlots() != queue.EntrySlots())
      return Fail(std::string("the ") + name + " queue has lost entry slots: " + std::to_string(entries) + " filed, " +
                  std::to_string(queue.FreeEntrySlots()) + " free of " + std::to_string(queue.EntrySlots()));
    return true;
  }

  static bool IsRootTriangle(const BintreeTriangle* t) {
    return t == &RoamRoots[0].triangle || t == &RoamRoots[1].triangle || t == &RoamRoots[0].triangle.children->right ||
           t == &RoamRoots[1].triangle.children->right;
  }

  bool CheckQueues() {
    std::unordered_map<const BintreeTriangle*, int> split, merge;
    split.reserve(static_cast<size_t>(SplitQueue.Size()) + 16);
    merge.reserve(static_cast<size_t>(MergeQueue.Size()) + 16);
    if (!CollectQueue(SplitQueue, "split", split) || !CollectQueue(MergeQueue, "merge", merge)) return false;
    for (const auto& [t, count] : split) {
      if (IsRootTriangle(t) || t->IsSplit() || t->splitVertex == -1) return Fail("the split queue holds " + Name(t) + ", which cannot be split");
      if (count != 1) return Fail(Name(t) + " is filed more than once in the split queue");
    }
    for (const auto& [t, count] : merge) {
      if (IsRootTriangle(t) || !ChildrenAreLeaves(t)) return Fail("the merge queue holds " + Name(t) + ", which cannot be merged");
      if (count != 1) return Fail(Name(t) + " is filed more than once in the merge queue");
    }
    auto countOf = [](const std::unordered_map<const BintreeTriangle*, int>& counts, const BintreeTriangle* t) {
      auto it = counts.find(t);
      return it == counts.end() ? 0 : it->second;
    };
    for (int i = 0; i < 2; ++i) {
      const BintreeTriangle* roots[2] = {&RoamRoots[i].triangle, &RoamRoots[i].triangle.children->right};
      for (const BintreeTriangle* r : roots)
        if (r->key != kUnfiledKey || countOf(split, r) + countOf(merge, r) != 0) return Fail("a root or placeholder is filed");
    }
    for (const auto& [t, node] : nodes_) {
      const int inSplit = countOf(split, t);
      const int inMerge = countOf(merge, t);
      if (inSplit > 0 && inMerge > 0) return Fail(Name(t) + " is in both queues");
      if ((t->key == kUnfiledKey) != (inSplit + inMerge == 0))
        return Fail(Name(t) + (t->key == kUnfiledKey ? " is filed with the unfiled key" : " is unfiled but has a key"));
      const BintreeTriangle* b = t->baseNeighbour;
      if (t->IsLeaf() && t->splitVertex != -1) {
        const bool diamond = b != nullptr && b->baseNeighbour == t;
        const int filed = inSplit + (diamond ? countOf(split, b) : 0);
        if (filed != 1) return Fail(Name(t) + (diamond ? "'s leaf diamond" : " (alone)") + " is filed " + std::to_string(filed) + " times for splitting");
      }
      if (ChildrenAreLeaves(t)) {
        const bool partnerReady = b == nullptr || ChildrenAreLeaves(b);
        const int filed = inMerge + (b != nullptr ? countOf(merge, b) : 0);
        if (filed != (partnerReady ? 1 : 0))
          return Fail(Name(t) + "'s split diamond is filed " + std::to_string(filed) + " times for merging");
      }
    }
    return true;
  }

  bool CheckPool() {
    const std::ptrdiff_t pairs = 2 + splitTriangles_;
    if (RoamPairPool.PairsInUse() != pairs)
      return Fail("the pool has " + std::to_string(RoamPairPool.PairsInUse()) + " pairs in use, the tree " + std::to_string(pairs));
    if (pairs + RoamPairPool.FreePairs() != RoamPairPool.CarvedPairs())
      return Fail("the pool has lost pairs: " + std::to_string(pairs) + " in use, " +
                  std::to_string(RoamPairPool.FreePairs()) + " free of " + std::to_string(RoamPairPool.CarvedPairs()));
    return true;
  }

  const HeightField& field_;
  std::unordered_map<const BintreeTriangle*, Node> nodes_;
  struct EdgeUse {
    uint64_t key;
    const BintreeTriangle* triangle;
  };
  std::vector<EdgeUse> edges_;  // sorted by key
  std::ptrdiff_t splitTriangles_ = 0;
  std::string failure_;
};

}  // namespace

std::vector<RoamLeaf> CollectRoamLeaves() {
  std::vector<RoamLeaf> leaves;
  struct Walker {
    std::vector<RoamLeaf>& out;
    void Walk(const BintreeTriangle* t, VertexId apex, VertexId left, VertexId right, int depth) {
      if (t->IsLeaf()) {
        out.push_back({t, apex, left, right, depth});
        return;
      }
      Walk(&t->children->left, t->splitVertex, apex, left, depth + 1);
      Walk(&t->children->right, t->splitVertex, right, apex, depth + 1);
    }
  } walker{leaves};
  for (int i = 0; i < 2; ++i)
    walker.Walk(&RoamRoots[i].triangle.children->left, RoamRoots[i].triangle.splitVertex, RoamRoots[i].leftCorner,
                RoamRoots[i].rightCorner, 0);
  return leaves;
}

std::string CheckRoamInvariants() {
  Checker checker;
  return checker.Run();
}
