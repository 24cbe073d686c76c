#pragma once
#include <new>
#include <optional>

#include "app/platform/failure.h"
#include "app/view/draw_method.h"
#include "bintree/bintree_node.h"
#include "bintree/pair_pool.h"
#include "terrain/height_field.h"

// The split/merge bintree that Standard ROAM and CABTT share: two roots over the square, leaves
// split and merged one diamond at a time, and two deferred-priority queues keyed against a travel
// clock so that a frame tests only the candidates whose key has fallen below it.
//
// What differs between the methods comes from the Policy:
//   Leaf                          what a leaf carries
//   Queue                         the queue kind, with Initialise(base), Clear(), Insert(node, key)
//                                 (which sets node->key), Remove(node) -> bool, PopBelow(t) ->
//                                 node or null, Rebase(amount) and Missing(node) -> the failure of
//                                 a removal that finds no entry
//   Start(eye)                    sets the clock back to its start with eye as the last eye
//   Advance(eye) -> float         moves the clock by the distance the eye moved; the amount to
//                                 take off every key when the clock is rebased, else 0
//   Travel() -> float             the clock
//   SplitKey(v), MergeKey(v)      the keys of split vertex v against the clock
//   SplitVertex(a, b)             the split vertex of hypotenuse a-b, -1 at the finest size
//   RetireLeaf(node)              a leaf is split or freed: give back what it carries
//
// Invariants after every operation (the queues hold the keys; a node's key is kNotQueued exactly
// when no queue holds it):
//   1. A split node's base neighbour, if any, is split too, and the two are each other's base
//      neighbour (a split diamond): the tree is conforming.
//   2. A leaf's base neighbour is of the same level with the leaf as its base neighbour (a leaf
//      diamond), one level coarser, or absent (the hypotenuse on the border).
//   3. A neighbour across a leg is of the same level (and names this node across its other leg)
//      or one level finer with its base neighbour here.
//   4. Every splittable leaf diamond is in the split queue once, by one of its halves; a
//      splittable leaf whose base neighbour is coarser or absent is there itself.
//   5. Every split diamond whose children are all leaves is in the merge queue once, by one of
//      its halves; the roots never are.
//   6. Every pair the pool has handed out belongs to the tree or is free.
template <class Policy>
class Bintree {
 public:
  using Leaf = typename Policy::Leaf;
  using Node = BintreeNode<Leaf>;
  using Pair = NodePair<Leaf>;
  using Root = BintreeRoot<Leaf>;
  using Queue = typename Policy::Queue;

  // The longest chain of forced splits runs from the finest level to the roots, two pairs a level.
  static constexpr int kPairsPerSplit = 2 * (2 * kMaxGridExponent + 2);

  template <class... PolicyArguments>
  explicit Bintree(MethodCounters& counters, PolicyArguments&&... arguments)
      : policy(std::forward<PolicyArguments>(arguments)...), counters_(counters), pool_(sizeof(Pair)) {}
  ~Bintree() { Stop(); }
  Bintree(const Bintree&) = delete;
  Bintree& operator=(const Bintree&) = delete;

  // The two top triangles over the field's square, as one leaf diamond filed by root 0's top
  // triangle, with the clock started at eye.
  Status Start(const HeightField& field, const Point3& eye);
  // Empties the queues, frees the tree (retiring its leaves) and gives the pool's blocks back.
  void Stop();
  bool Started() const { return started_; }

  // One frame's refinement for the eye: the clock moves by the distance flown, then every merge
  // candidate and then every split candidate whose key has fallen below it is tested and merged
  // or split, or filed again under its fresh key. No budget: afterwards no key lies below the
  // clock. Fails when the pool can get no more memory or a queue lost an entry.
  Status Refine(const Point3& eye);

  // Splits leaf t (which has a split vertex), force-splitting a coarser base neighbour first;
  // forced is false when the pass took t from the split queue.
  void Split(Node* t, bool forced);
  // Merges the split diamond that t stands for back into leaves.
  void Merge(Node* t);

  const Root& root(int i) const { return roots_[i]; }
  Root& root(int i) { return roots_[i]; }
  const Queue& splitQueue() const { return split_; }
  const Queue& mergeQueue() const { return merge_; }
  Queue& splitQueue() { return split_; }
  Queue& mergeQueue() { return merge_; }
  const PairPool& pool() const { return pool_; }
  PairPool& pool() { return pool_; }
  // A failure met in the middle of an operation (a lost queue entry), kept until Stop.
  const std::optional<Failure>& failure() const { return failure_; }

  Policy policy;

 private:
  Node MakeNode(VertexId left, VertexId right, Node* parent) const;
  Pair* TakePair();
  void FileForSplit(Node* t);
  void FileForMerge(Node* t);
  void RemoveFiled(Queue& queue, Node* t);
  void WithdrawMergeDiamond(Node* p);
  void CreateChildren(Node* t);
  void DetachChild(Node* c, Node* t, bool leftChild);
  void CollapseChildren(Node* t);
  static bool ChildrenAreLeaves(const Node* t);
  void FileIfMergeable(Node* p);
  void FreePairs(Pair* pair);
  template <class Change>
  void TestDueCandidates(Queue& queue, uint64_t& tests, bool splitting, Change change);
  Failure OutOfPairs() const;

  MethodCounters& counters_;
  PairPool pool_;
  Queue split_{"split"};
  Queue merge_{"merge"};
  Root roots_[2] = {};
  bool started_ = false;
  std::optional<Failure> failure_;
};

#include "bintree/bintree_impl.h"
