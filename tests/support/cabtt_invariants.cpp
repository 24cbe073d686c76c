#include "cabtt_invariants.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <utility>

#include "cabtt/cabtt_state.h"
#include "cabtt_fakes.h"

namespace {

constexpr std::size_t kMaxReported = 20;

struct Corners {
  VertexId apex;
  VertexId left;
  VertexId right;
};

using Edge = std::pair<VertexId, VertexId>;

Edge MakeEdge(VertexId a, VertexId b) { return a < b ? Edge{a, b} : Edge{b, a}; }
Edge Hypotenuse(const Corners& c) { return MakeEdge(c.left, c.right); }
Edge LeftLeg(const Corners& c) { return MakeEdge(c.apex, c.left); }
Edge RightLeg(const Corners& c) { return MakeEdge(c.right, c.apex); }

// The split-vertex rule, worked out in grid coordinates.
VertexId ExpectedSplitVertex(VertexId left, VertexId right) {
  const HeightField& field = *CurrentHeightField;
  const int lx = field.GridX(left), ly = field.GridY(left);
  const int rx = field.GridX(right), ry = field.GridY(right);
  const int step = 1 << AggregationLevel;
  if (std::abs(lx - rx) == step && std::abs(ly - ry) == step) return -1;
  return field.Id((lx + rx) / 2, (ly + ry) / 2);
}

bool OnBorder(const Edge& e) {
  const HeightField& field = *CurrentHeightField;
  const int ax = field.GridX(e.first), ay = field.GridY(e.first);
  const int bx = field.GridX(e.second), by = field.GridY(e.second);
  return (ax == bx && (ax == 0 || ax == field.N)) || (ay == by && (ay == 0 || ay == field.N));
}

class Checker {
 public:
  std::vector<std::string> Run(const RecordingGeometryCache* cache) {
    if (CabttRoots == nullptr) {
      Fail("no CABTT tree");
      return out_;
    }
    CheckRoots();
    for (int i = 0; i < 2; ++i) {
      const CabttRoot& root = CabttRoots[i];
      Walk(root.Top(), &root.node, {root.node.splitVertex, root.topLeftCorner, root.topRightCorner});
    }
    CountQueue(CabttSplitQueue, splitEntries_);
    CountQueue(CabttMergeQueue, mergeEntries_);
    for (const auto& [node, corners] : nodes_) {
      CheckLinks(node, corners);
      CheckMembership(node);
    }
    if (cache != nullptr) CheckCache(*cache);
    return out_;
  }

  void Fail(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (out_.size() >= kMaxReported) return;
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out_.emplace_back(line);
  }

 private:
  void CheckRoots() {
    for (int i = 0; i < 2; ++i) {
      const AggregateTriangle& root = CabttRoots[i].node;
      const AggregateTriangle* dummy = root.RightChild();
      if (root.IsLeaf() || root.children == nullptr) Fail("root %d has no child pair", i);
      if (root.baseNeighbour != &CabttRoots[1 - i].node) Fail("root %d base link", i);
      if (root.key != NotQueued || root.parent != nullptr) Fail("root %d queued or parented", i);
      if (dummy->IsLeaf() || dummy->children != nullptr || dummy->splitVertex != -1 ||
          dummy->key != NotQueued || dummy->baseNeighbour != nullptr || dummy->parent != &root) {
        Fail("root %d dummy child altered", i);
      }
    }
  }

  void Walk(const AggregateTriangle* t, const AggregateTriangle* parent, Corners c) {
    nodes_[t] = c;
    if (t->parent != parent) Fail("node %p has a wrong parent", static_cast<const void*>(t));
    if (t->splitVertex != ExpectedSplitVertex(c.left, c.right)) {
      Fail("node %p split vertex %d, expected %d", static_cast<const void*>(t), t->splitVertex,
           ExpectedSplitVertex(c.left, c.right));
    }
    if (t->IsLeaf()) {
      if (t->leftCorner != c.left || t->rightCorner != c.right) {
        Fail("leaf %p corners (%d, %d), expected (%d, %d)", static_cast<const void*>(t),
             t->leftCorner, t->rightCorner, c.left, c.right);
      }
      if (t->children != nullptr) Fail("leaf %p keeps a child pair", static_cast<const void*>(t));
      return;
    }
    if (t->children == nullptr || t->splitVertex == -1) {
      Fail("interior node %p without children or split vertex", static_cast<const void*>(t));
      return;
    }
    if (t->block != kNoBlock) Fail("interior node %p holds a block", static_cast<const void*>(t));
    Walk(t->LeftChild(), t, {t->splitVertex, c.apex, c.left});
    Walk(t->RightChild(), t, {t->splitVertex, c.right, c.apex});
  }

  const Corners* Known(const AggregateTriangle* t) const {
    auto found = nodes_.find(t);
    return found == nodes_.end() ? nullptr : &found->second;
  }

  // A link across edge e of t: null exactly on the border, and pointing at a node of the tree
  // that links back across the same edge.
  const Corners* LinkedNode(const AggregateTriangle* t, const AggregateTriangle* other,
                            const Edge& e, const char* which) {
    if (OnBorder(e)) {
      if (other != nullptr) Fail("node %p has a %s neighbour on the border", static_cast<const void*>(t), which);
      return nullptr;
    }
    if (other == nullptr) {
      Fail("node %p lacks its %s neighbour", static_cast<const void*>(t), which);
      return nullptr;
    }
    const Corners* c = Known(other);
    if (c == nullptr) Fail("node %p: %s neighbour is not in the tree", static_cast<const void*>(t), which);
    return c;
  }

  void CheckLinks(const AggregateTriangle* t, const Corners& c) {
    const Edge hyp = Hypotenuse(c);
    const AggregateTriangle* base = t->baseNeighbour;
    const Corners* bc = LinkedNode(t, base, hyp, "base");
    if (!t->IsLeaf()) {
      // Leg links of interior nodes are refreshed when they become leaves again.
      if (bc != nullptr &&
          (base->IsLeaf() || base->baseNeighbour != t || Hypotenuse(*bc) != hyp)) {
        Fail("interior node %p: base neighbour not a split partner (tree not conforming)",
             static_cast<const void*>(t));
      }
      return;
    }
    if (bc != nullptr) {
      const bool diamond = Hypotenuse(*bc) == hyp && base->baseNeighbour == t;
      const bool coarser = (LeftLeg(*bc) == hyp && base->leftNeighbour == t) ||
                           (RightLeg(*bc) == hyp && base->rightNeighbour == t);
      if (!base->IsLeaf() || !(diamond || coarser)) {
        Fail("leaf %p: base link not matched", static_cast<const void*>(t));
      }
    }
    const AggregateTriangle* left = t->leftNeighbour;
    if (const Corners* lc = LinkedNode(t, left, LeftLeg(c), "left")) {
      const bool same = RightLeg(*lc) == LeftLeg(c) && left->rightNeighbour == t;
      const bool finer = Hypotenuse(*lc) == LeftLeg(c) && left->baseNeighbour == t;
      if (!left->IsLeaf() || !(same || finer)) Fail("leaf %p: left link not matched", static_cast<const void*>(t));
    }
    const AggregateTriangle* right = t->rightNeighbour;
    if (const Corners* rc = LinkedNode(t, right, RightLeg(c), "right")) {
      const bool same = LeftLeg(*rc) == RightLeg(c) && right->leftNeighbour == t;
      const bool finer = Hypotenuse(*rc) == RightLeg(c) && right->baseNeighbour == t;
      if (!right->IsLeaf() || !(same || finer)) Fail("leaf %p: right link not matched", static_cast<const void*>(t));
    }
  }

  void CountQueue(const CabttQueue& queue, std::unordered_map<const AggregateTriangle*, int>& count) {
    for (const auto& [key, node] : queue.AllEntries()) {
      if (Known(node) == nullptr) {
        Fail("%s holds a node that is not in the tree", queue.Name());
        continue;
      }
      if (node->key != key) Fail("%s entry key %.9g differs from its node's %.9g", queue.Name(), key, node->key);
      ++count[node];
    }
  }

  int Filed(const std::unordered_map<const AggregateTriangle*, int>& count, const AggregateTriangle* t) const {
    auto found = count.find(t);
    return found == count.end() ? 0 : found->second;
  }

  static bool ChildrenAreLeaves(const AggregateTriangle* t) {
    return !t->IsLeaf() && t->children != nullptr && t->LeftChild()->IsLeaf() && t->RightChild()->IsLeaf();
  }

  void CheckMembership(const AggregateTriangle* t) {
    const void* id = t;
    const int inSplit = Filed(splitEntries_, t);
    const int inMerge = Filed(mergeEntries_, t);
    if (inSplit + inMerge == 0 && t->key != NotQueued) Fail("node %p unfiled but keyed", id);
    if (inSplit + inMerge > 0 && t->key == NotQueued) Fail("node %p filed with key NotQueued", id);
    if (inSplit + inMerge > 1) Fail("node %p filed %d times", id, inSplit + inMerge);
    const AggregateTriangle* base = t->baseNeighbour;
    if (t->IsLeaf()) {
      if (inMerge != 0) Fail("leaf %p in the merge queue", id);
      if (t->splitVertex == -1) {
        if (inSplit != 0) Fail("unsplittable leaf %p in the split queue", id);
      } else if (base != nullptr && base->baseNeighbour == t) {
        if (inSplit + Filed(splitEntries_, base) != 1) Fail("leaf diamond of %p not filed exactly once", id);
      } else if (inSplit != 1) {
        Fail("leaf %p with a coarser or no base neighbour not filed", id);
      }
      return;
    }
    if (inSplit != 0) Fail("interior node %p in the split queue", id);
    const bool splitDiamond = ChildrenAreLeaves(t) && (base == nullptr || ChildrenAreLeaves(base));
    if (!splitDiamond) {
      if (inMerge != 0) Fail("node %p in the merge queue without being a split diamond", id);
    } else if (inMerge + (base != nullptr ? Filed(mergeEntries_, base) : 0) != 1) {
      Fail("split diamond of %p not filed exactly once", id);
    }
  }

  void CheckCache(const RecordingGeometryCache& cache) {
    for (const std::string& fault : cache.faults) Fail("cache: %s", fault.c_str());
    std::size_t held = 0;
    for (const auto& [node, corners] : nodes_) {
      if (!node->IsLeaf() || node->block == kNoBlock) continue;
      ++held;
      auto block = cache.live.find(node->block);
      if (block == cache.live.end()) {
        Fail("leaf %p holds block %ld, which is not live", static_cast<const void*>(node), static_cast<long>(node->block));
      } else if (block->second.indexCount != 3 * node->subTriangles) {
        Fail("leaf %p: block of %d indices for %d sub-triangles", static_cast<const void*>(node),
             block->second.indexCount, node->subTriangles);
      }
    }
    if (held != cache.live.size()) Fail("%zu blocks live but %zu held by leaves", cache.live.size(), held);
  }

  std::unordered_map<const AggregateTriangle*, Corners> nodes_;
  std::unordered_map<const AggregateTriangle*, int> splitEntries_;
  std::unordered_map<const AggregateTriangle*, int> mergeEntries_;
  std::vector<std::string> out_;
};

}  // namespace

std::vector<std::string> CabttInvariantViolations(const RecordingGeometryCache* cache) {
  return Checker().Run(cache);
}

std::vector<std::string> CabttUnsettledEntries() {
  std::vector<std::string> out;
  for (const CabttQueue* queue : {&CabttSplitQueue, &CabttMergeQueue}) {
    for (const auto& [key, node] : queue->AllEntries()) {
      if (key < CabttTravel && out.size() < kMaxReported) {
        out.push_back(std::string(queue->Name()) + " entry below the clock: " + std::to_string(key) +
                      " < " + std::to_string(CabttTravel));
      }
    }
  }
  return out;
}

std::vector<std::string> CabttTornDownViolations(const RecordingGeometryCache& cache) {
  std::vector<std::string> out;
  if (CabttRoots != nullptr) out.emplace_back("tree still present");
  if (!CabttSplitQueue.Empty() || !CabttMergeQueue.Empty()) out.emplace_back("queues not empty");
  if (!cache.live.empty()) out.push_back(std::to_string(cache.live.size()) + " blocks still live");
  for (const std::string& fault : cache.faults) out.push_back("cache: " + fault);
  return out;
}

std::string Describe(const std::vector<std::string>& violations) {
  std::string text;
  for (const std::string& v : violations) text += v + "\n";
  return text;
}
