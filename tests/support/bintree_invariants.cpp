#include "support/bintree_invariants.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <unordered_map>

namespace {

std::string Describe(const HeightField& field, VertexId id) {
  std::ostringstream out;
  out << "(" << field.GridX(id) << "," << field.GridY(id) << ")";
  return out.str();
}

// Visits every entry of a queue as (node, where it is filed is sound).
template <class Visit>
void ForEachFiled(const BucketQueue& queue, Visit visit) {
  queue.ForEachEntry([&](int bucket, const RoamNode* t) {
    visit(t, bucket == BucketQueue::kOverflowBucket || queue.BucketOf(t->key) == bucket);
  });
}

template <class Visit>
void ForEachFiled(const CabttQueue& queue, Visit visit) {
  for (const auto& [key, node] : queue.AllEntries()) visit(node, key == node->key);
}

std::string CheckStorage(const BucketQueue& queue, const char* name) {
  const int filed = queue.Size();
  if (filed + queue.FreeEntrySlots() != queue.EntrySlots())
    return std::string("the ") + name + " queue has lost entry slots: " + std::to_string(filed) + " filed, " +
           std::to_string(queue.FreeEntrySlots()) + " free of " + std::to_string(queue.EntrySlots());
  return "";
}

std::string CheckStorage(const CabttQueue&, const char*) { return ""; }

int QueueSize(const BucketQueue& queue) { return queue.Size(); }
int QueueSize(const CabttQueue& queue) { return static_cast<int>(queue.Size()); }

template <class Tree>
class Checker {
 public:
  using Node = typename Tree::Node;

  Checker(const Tree& tree, const HeightField& field, int level) : tree_(tree), field_(field), step_(1 << level) {}

  std::string Run() {
    if (!tree_.Started()) return "no tree";
    if (!CheckRoots()) return failure_;
    for (int i = 0; i < 2; ++i) {
      const auto& root = tree_.root(i);
      Walk(root.Top(), &root.node, root.node.splitVertex, root.topLeftCorner, root.topRightCorner, 0);
      if (!failure_.empty()) return failure_;
    }
    if (CheckLinks() && CheckQueues() && CheckPool()) return "";
    return failure_;
  }

  std::vector<TreeLeaf<Node>> leaves;

 private:
  struct Place {
    VertexId apex, left, right;
    int depth;
  };

  bool Fail(const std::string& message) {
    if (failure_.empty()) failure_ = message;
    return false;
  }

  std::string Name(const Node* t) const {
    auto it = places_.find(t);
    if (it == places_.end()) return "a node outside the tree";
    const Place& p = it->second;
    return "node apex " + Describe(field_, p.apex) + " left " + Describe(field_, p.left) + " right " +
           Describe(field_, p.right) + " depth " + std::to_string(p.depth);
  }

  // The split-vertex rule worked out in grid coordinates.
  VertexId ExpectedSplitVertex(VertexId left, VertexId right) const {
    const int lx = field_.GridX(left), ly = field_.GridY(left);
    const int rx = field_.GridX(right), ry = field_.GridY(right);
    if (std::abs(lx - rx) == step_ && std::abs(ly - ry) == step_) return -1;
    return field_.Id((lx + rx) / 2, (ly + ry) / 2);
  }

  bool IsRootOrPlaceholder(const Node* t) const {
    for (int i = 0; i < 2; ++i)
      if (t == &tree_.root(i).node || t == tree_.root(i).node.RightChild()) return true;
    return false;
  }

  bool CheckRoots() {
    for (int i = 0; i < 2; ++i) {
      const auto& root = tree_.root(i);
      const Node& t = root.node;
      const std::string which = "root " + std::to_string(i);
      if (t.leftCorner != -1 || t.children == nullptr) return Fail(which + " is not split");
      if (t.parent != nullptr || t.leftNeighbour != nullptr || t.rightNeighbour != nullptr)
        return Fail(which + " has a parent or leg neighbours");
      if (t.baseNeighbour != &tree_.root(1 - i).node) return Fail(which + " is not based on the other root");
      if (t.key != kNotQueued) return Fail(which + " has a key");
      const Node& placeholder = *t.RightChild();
      if (placeholder.leftCorner != -1 || placeholder.children != nullptr || placeholder.splitVertex != -1 ||
          placeholder.baseNeighbour != nullptr || placeholder.key != kNotQueued || placeholder.parent != &t)
        return Fail("placeholder of " + which + " changed");
      if (t.LeftChild()->parent != &t) return Fail("top triangle " + std::to_string(i) + " has the wrong parent");
    }
    return true;
  }

  void Walk(const Node* t, const Node* parent, VertexId apex, VertexId left, VertexId right, int depth) {
    if (!failure_.empty()) return;
    if (!places_.emplace(t, Place{apex, left, right, depth}).second) {
      Fail("a node is reached twice");
      return;
    }
    if (t->parent != parent) {
      Fail(Name(t) + " has the wrong parent");
      return;
    }
    if (t->splitVertex != ExpectedSplitVertex(left, right)) {
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
    ++splitNodes_;
    Walk(t->LeftChild(), t, t->splitVertex, apex, left, depth + 1);
    Walk(t->RightChild(), t, t->splitVertex, right, apex, depth + 1);
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
  bool Across(const Node* t, VertexId a, VertexId b, const Node** other) {
    *other = nullptr;
    const uint64_t key = EdgeKey(a, b);
    auto it = std::lower_bound(edges_.begin(), edges_.end(), key, [](const EdgeUse& x, uint64_t k) { return x.key < k; });
    int sharing = 0;
    for (; it != edges_.end() && it->key == key; ++it, ++sharing)
      if (it->node != t) *other = it->node;
    if (sharing > 2) return Fail("edge " + Describe(field_, a) + "-" + Describe(field_, b) + " is shared by more than two leaves");
    if (*other == nullptr && !OnBorder(a, b))
      return Fail(Name(t) + ": no leaf across the inner edge " + Describe(field_, a) + "-" + Describe(field_, b) +
                  " (T-junction)");
    return true;
  }

  bool CheckLinks() {
    edges_.reserve(3 * leaves.size());
    for (const auto& leaf : leaves) {
      edges_.push_back({EdgeKey(leaf.apex, leaf.left), leaf.node});
      edges_.push_back({EdgeKey(leaf.apex, leaf.right), leaf.node});
      edges_.push_back({EdgeKey(leaf.left, leaf.right), leaf.node});
    }
    std::sort(edges_.begin(), edges_.end(), [](const EdgeUse& x, const EdgeUse& y) { return x.key < y.key; });
    for (const auto& leaf : leaves) {
      const Node* t = leaf.node;
      const Node* other;
      if (!Across(t, leaf.apex, leaf.left, &other)) return false;
      if (t->leftNeighbour != other) return Fail(Name(t) + " has a wrong left neighbour");
      if (!Across(t, leaf.apex, leaf.right, &other)) return false;
      if (t->rightNeighbour != other) return Fail(Name(t) + " has a wrong right neighbour");
      if (!Across(t, leaf.left, leaf.right, &other)) return false;
      if (t->baseNeighbour != other) return Fail(Name(t) + " has a wrong base neighbour");
    }
    for (const auto& [t, place] : places_) {
      if (t->IsLeaf()) continue;
      const Node* b = t->baseNeighbour;
      if (b == nullptr) {
        if (!OnBorder(place.left, place.right)) return Fail(Name(t) + " is split with an inner hypotenuse and no base neighbour");
        continue;
      }
      auto found = places_.find(b);
      if (found == places_.end()) return Fail(Name(t) + " has a base neighbour outside the tree");
      if (b->IsLeaf() || b->baseNeighbour != t) return Fail(Name(t) + " is split but its base neighbour is not its split partner");
      if (found->second.left != place.right || found->second.right != place.left)
        return Fail(Name(t) + " and its base neighbour do not share the hypotenuse");
    }
    return true;
  }

  static bool ChildrenAreLeaves(const Node* t) {
    return t->IsSplit() && t->children != nullptr && t->LeftChild()->IsLeaf() && t->RightChild()->IsLeaf();
  }

  template <class Queue>
  bool CollectQueue(const Queue& queue, const char* name, std::unordered_map<const Node*, int>& counts) {
    int entries = 0;
    bool ok = true;
    ForEachFiled(queue, [&](const Node* t, bool soundlyFiled) {
      ++entries;
      ++counts[t];
      if (!ok) return;
      if (places_.find(t) == places_.end() && !IsRootOrPlaceholder(t))
        ok = Fail(std::string("the ") + name + " queue holds a node that is not in the tree");
      else if (!soundlyFiled)
        ok = Fail(std::string("the ") + name + " queue holds " + Name(t) + " where its key does not belong");
    });
    if (!ok) return false;
    if (entries != QueueSize(queue)) return Fail(std::string("the ") + name + " queue miscounts its entries");
    const std::string storage = CheckStorage(queue, name);
    return storage.empty() || Fail(storage);
  }

  bool CheckQueues() {
    std::unordered_map<const Node*, int> split, merge;
    if (!CollectQueue(tree_.splitQueue(), "split", split) || !CollectQueue(tree_.mergeQueue(), "merge", merge))
      return false;
    for (const auto& [t, count] : split) {
      if (IsRootOrPlaceholder(t) || t->IsSplit() || t->splitVertex == -1)
        return Fail("the split queue holds " + Name(t) + ", which cannot be split");
      if (count != 1) return Fail(Name(t) + " is filed more than once in the split queue");
    }
    for (const auto& [t, count] : merge) {
      if (IsRootOrPlaceholder(t) || !ChildrenAreLeaves(t)) return Fail("the merge queue holds " + Name(t) + ", which cannot be merged");
      if (count != 1) return Fail(Name(t) + " is filed more than once in the merge queue");
    }
    const auto countOf = [](const std::unordered_map<const Node*, int>& counts, const Node* t) {
      auto it = counts.find(t);
      return it == counts.end() ? 0 : it->second;
    };
    for (int i = 0; i < 2; ++i) {
      for (const Node* r : {&tree_.root(i).node, static_cast<const Node*>(tree_.root(i).node.RightChild())})
        if (r->key != kNotQueued || countOf(split, r) + countOf(merge, r) != 0) return Fail("a root or placeholder is filed");
    }
    for (const auto& [t, place] : places_) {
      const int inSplit = countOf(split, t);
      const int inMerge = countOf(merge, t);
      if (inSplit > 0 && inMerge > 0) return Fail(Name(t) + " is in both queues");
      if ((t->key == kNotQueued) != (inSplit + inMerge == 0))
        return Fail(Name(t) + (t->key == kNotQueued ? " is filed with the unfiled key" : " is unfiled but has a key"));
      const Node* b = t->baseNeighbour;
      if (t->IsLeaf() && t->splitVertex != -1) {
        const bool diamond = b != nullptr && b->baseNeighbour == t;
        const int filed = inSplit + (diamond ? countOf(split, b) : 0);
        if (filed != 1)
          return Fail(Name(t) + (diamond ? "'s leaf diamond" : " (alone)") + " is filed " + std::to_string(filed) +
                      " times for splitting");
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
    const PairPool& pool = tree_.pool();
    const std::ptrdiff_t pairs = 2 + splitNodes_;
    if (pool.PairsInUse() != pairs)
      return Fail("the pool has " + std::to_string(pool.PairsInUse()) + " pairs in use, the tree " + std::to_string(pairs));
    if (pairs + pool.FreePairs() != pool.CarvedPairs())
      return Fail("the pool has lost pairs: " + std::to_string(pairs) + " in use, " + std::to_string(pool.FreePairs()) +
                  " free of " + std::to_string(pool.CarvedPairs()));
    return true;
  }

  const Tree& tree_;
  const HeightField& field_;
  const int step_;
  std::unordered_map<const Node*, Place> places_;
  struct EdgeUse {
    uint64_t key;
    const Node* node;
  };
  std::vector<EdgeUse> edges_;  // sorted by key
  std::ptrdiff_t splitNodes_ = 0;
  std::string failure_;
};

template <class Tree>
std::vector<TreeLeaf<typename Tree::Node>> Leaves(const Tree& tree) {
  using Node = typename Tree::Node;
  std::vector<TreeLeaf<Node>> leaves;
  struct Walker {
    std::vector<TreeLeaf<Node>>& out;
    void Walk(const Node* t, VertexId apex, VertexId left, VertexId right, int depth) {
      if (t->IsLeaf()) {
        out.push_back({t, apex, left, right, depth});
        return;
      }
      Walk(t->LeftChild(), t->splitVertex, apex, left, depth + 1);
      Walk(t->RightChild(), t->splitVertex, right, apex, depth + 1);
    }
  } walker{leaves};
  if (!tree.Started()) return leaves;
  for (int i = 0; i < 2; ++i)
    walker.Walk(tree.root(i).Top(), tree.root(i).node.splitVertex, tree.root(i).topLeftCorner,
                tree.root(i).topRightCorner, 0);
  return leaves;
}

template <class Tree>
std::string Settled(const Tree& tree) {
  const float travel = tree.policy.Travel();
  std::string found;
  const auto check = [&](const char* name) {
    return [&found, travel, name](const typename Tree::Node* t, bool) {
      if (found.empty() && t->key < travel)
        found = std::string("a ") + name + " queue entry has key " + std::to_string(t->key) + " below the clock " +
                std::to_string(travel);
    };
  };
  ForEachFiled(tree.splitQueue(), check("split"));
  ForEachFiled(tree.mergeQueue(), check("merge"));
  return found;
}

}  // namespace

std::vector<TreeLeaf<RoamNode>> CollectLeaves(const RoamTree& tree) { return Leaves(tree); }
std::vector<TreeLeaf<CabttNode>> CollectLeaves(const CabttTree& tree) { return Leaves(tree); }

std::string CheckTreeInvariants(const RoamTree& tree, const HeightField& field) {
  return Checker<RoamTree>(tree, field, 0).Run();
}

std::string CheckTreeInvariants(const CabttTree& tree, const HeightField& field) {
  return Checker<CabttTree>(tree, field, tree.policy.level()).Run();
}

std::string CheckSettled(const RoamTree& tree) { return Settled(tree); }
std::string CheckSettled(const CabttTree& tree) { return Settled(tree); }
