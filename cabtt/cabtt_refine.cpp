#include "cabtt/cabtt_refine.h"

#include <cmath>
#include <cstdio>

#include "app/fatal.h"
#include "app/frame_loop.h"
#include "app/terrain_log.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_keys.h"
#include "cabtt/cabtt_state.h"

namespace {

constexpr float kRebaseThreshold = 1024.0f;
constexpr float kRebaseAmount = 2048.0f;

// A node that should be filed but is not means the tree and the queues disagree; nothing
// can be trusted afterwards.
[[noreturn]] void QueueInconsistency(const CabttQueue& queue, const AggregateTriangle* node) {
  char line[160];
  std::snprintf(line, sizeof line, "CABTT %s has no entry for node %p (split vertex %d, key %.9g)\n",
                queue.Name(), static_cast<const void*>(node), node->splitVertex, node->key);
  std::fputs(line, stderr);
  LogPrintf("%s", line);
  SetDrawMethod(-1);
  FatalExit(3);
}

void RemoveFiled(CabttQueue& queue, AggregateTriangle* node) {
  if (!queue.Remove(node)) QueueInconsistency(queue, node);
}

void FileForSplit(AggregateTriangle* node) {
  node->key = CabttSplitKey(node->splitVertex);
  CabttSplitQueue.Insert(node);
}

void FileForMerge(AggregateTriangle* node) {
  node->key = CabttMergeKey(node->splitVertex);
  CabttMergeQueue.Insert(node);
}

bool ChildrenAreLeaves(const AggregateTriangle* node) {
  return !node->IsLeaf() && node->children != nullptr && node->LeftChild()->IsLeaf() &&
         node->RightChild()->IsLeaf();
}

// Files P's diamond for merging once all its children are leaves. A root never qualifies: its
// dummy child is never a leaf.
void FileIfMergeable(AggregateTriangle* p) {
  if (!ChildrenAreLeaves(p)) return;
  const AggregateTriangle* base = p->baseNeighbour;
  if (base != nullptr && !ChildrenAreLeaves(base)) return;
  FileForMerge(p);
}

// Tests every entry whose key has fallen below the clock: acts on it when its fresh key is
// below the clock too, else files it again under the fresh key. Entries filed during the pass
// with keys below the clock are taken in the same pass.
void RunPass(CabttQueue& queue, float (*freshKey)(VertexId), uint64_t& tests,
             void (*act)(AggregateTriangle*)) {
  while (!queue.Empty() && queue.FirstKey() < CabttTravel) {
    AggregateTriangle* node = queue.PopFirst();
    const float key = freshKey(node->splitVertex);
    ++tests;
    if (key < CabttTravel) {
      act(node);
    } else {
      node->key = key;
      queue.Insert(node);
    }
  }
}

void SplitUnforced(AggregateTriangle* t) { SplitTriangle(t, false); }

}  // namespace

void RefineCabtt(const Point3& eye, PassAction secondPass) {
  UpdateCabttTree(eye);
  DrawCabttPasses(secondPass);
}

void UpdateCabttTree(const Point3& eye) {
  const double dx = static_cast<double>(eye.x) - CabttLastEye.x;
  const double dy = static_cast<double>(eye.y) - CabttLastEye.y;
  const double dz = static_cast<double>(eye.z) - CabttLastEye.z;
  CabttTravel = static_cast<float>(CabttTravel + std::sqrt(dx * dx + dy * dy + dz * dz));
  CabttLastEye = eye;
  // Keeps the clock where floats still resolve small distances.
  if (CabttTravel > kRebaseThreshold) {
    CabttTravel -= kRebaseAmount;
    CabttMergeQueue.Rebase(kRebaseAmount);
    CabttSplitQueue.Rebase(kRebaseAmount);
  }
  RunPass(CabttMergeQueue, CabttMergeKey, CabttCounters.mergeTests, MergeDiamond);
  RunPass(CabttSplitQueue, CabttSplitKey, CabttCounters.splitTests, SplitUnforced);
}

void SplitTriangle(AggregateTriangle* p, bool forced) {
  ++CabttCounters.splits;
  WithdrawMergeDiamond(p->parent);
  AggregateTriangle* q = p->baseNeighbour;
  if (q != nullptr && q->baseNeighbour != p) {
    // A coarser base neighbour must be split first, or the mesh would crack.
    ++CabttCounters.forceSplits;
    SplitTriangle(q, true);
    q = p->baseNeighbour;
  }
  CreateChildren(p);
  if (q != nullptr) {
    CreateChildren(q);
    p->LeftChild()->rightNeighbour = q->RightChild();
    q->RightChild()->leftNeighbour = p->LeftChild();
    p->RightChild()->leftNeighbour = q->LeftChild();
    q->LeftChild()->rightNeighbour = p->RightChild();
    WithdrawMergeDiamond(q->parent);
    if (forced) {
      if (p->key != NotQueued) {
        RemoveFiled(CabttSplitQueue, p);
      } else {
        RemoveFiled(CabttSplitQueue, q);
        q->key = NotQueued;
      }
    }
  } else {
    p->LeftChild()->rightNeighbour = nullptr;
    p->RightChild()->leftNeighbour = nullptr;
    if (forced) RemoveFiled(CabttSplitQueue, p);
  }
  FileForMerge(p);
}

void CreateChildren(AggregateTriangle* p) {
  const VertexId apex = p->Apex();
  AggregateTriangle* left = p->leftNeighbour;
  AggregateTriangle* right = p->rightNeighbour;
  AggregatePair* pair = NewAggregatePair();
  AggregateTriangle* c0 = &pair->child[0];
  AggregateTriangle* c1 = &pair->child[1];
  c0->leftCorner = apex;
  c0->rightCorner = p->leftCorner;
  c1->leftCorner = p->rightCorner;
  c1->rightCorner = apex;
  for (AggregateTriangle* child : {c0, c1}) {
    child->parent = p;
    child->splitVertex = CabttSplitVertex(child->leftCorner, child->rightCorner);
  }
  c0->leftNeighbour = c1;
  c1->rightNeighbour = c0;
  c0->baseNeighbour = left;
  c1->baseNeighbour = right;

  if (left != nullptr && left->baseNeighbour == p) {
    left->baseNeighbour = c0;  // a leaf diamond that left already stands for
  } else {
    if (left != nullptr) left->rightNeighbour = c0;
    if (c0->splitVertex != -1) FileForSplit(c0);
  }
  if (right != nullptr && right->baseNeighbour == p) {
    right->baseNeighbour = c1;
  } else {
    if (right != nullptr) right->leftNeighbour = c1;
    if (c1->splitVertex != -1) FileForSplit(c1);
  }

  if (p->block != kNoBlock) {
    ActiveCache->ReleaseBlock(p->block);
    p->block = kNoBlock;
  }
  p->children = pair;
  p->leftCorner = kInteriorNode;
}

void MergeDiamond(AggregateTriangle* p) {
  ++CabttCounters.merges;
  AggregateTriangle* q = p->baseNeighbour;
  CollapseChildren(p);
  if (q != nullptr) CollapseChildren(q);
  FileForSplit(p);
  FileIfMergeable(p->parent);
  if (q != nullptr) FileIfMergeable(q->parent);
}

void CollapseChildren(AggregateTriangle* p) {
  AggregatePair* pair = p->children;
  AggregateTriangle* c0 = &pair->child[0];
  AggregateTriangle* c1 = &pair->child[1];
  p->leftCorner = c0->rightCorner;
  p->rightCorner = c1->leftCorner;
  p->block = kNoBlock;
  p->leftNeighbour = c0->baseNeighbour;
  p->rightNeighbour = c1->baseNeighbour;
  DetachChild(c0, ChildSide::kRight);
  DetachChild(c1, ChildSide::kLeft);
  p->children = nullptr;
  DeleteAggregatePair(pair);
}

void DetachChild(AggregateTriangle* child, ChildSide side) {
  if (child->block != kNoBlock) {
    ActiveCache->ReleaseBlock(child->block);
    child->block = kNoBlock;
  }
  AggregateTriangle* base = child->baseNeighbour;
  if (base != nullptr && base->baseNeighbour == child) {
    base->baseNeighbour = child->parent;
    if (child->key == NotQueued) return;
    // The child stood for the leaf diamond; its partner now stands for itself.
    RemoveFiled(CabttSplitQueue, child);
    child->key = NotQueued;
    FileForSplit(base);
    return;
  }
  if (base != nullptr) {
    if (side == ChildSide::kRight) {
      base->rightNeighbour = child->parent;
    } else {
      base->leftNeighbour = child->parent;
    }
  }
  if (child->key != NotQueued) {
    RemoveFiled(CabttSplitQueue, child);
    child->key = NotQueued;
  }
}

void WithdrawMergeDiamond(AggregateTriangle* p) {
  if (p->key != NotQueued) {
    RemoveFiled(CabttMergeQueue, p);
    p->key = NotQueued;
  } else if (p->baseNeighbour != nullptr && p->baseNeighbour->key != NotQueued) {
    RemoveFiled(CabttMergeQueue, p->baseNeighbour);
    p->baseNeighbour->key = NotQueued;
  }
}
