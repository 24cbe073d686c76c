#include "roam/bintree.h"

#include <cstdlib>

#include "roam/roam_state.h"
#include "roam/roam_update.h"

namespace {

BintreeTriangle MakeTriangle(VertexId left, VertexId right, BintreeTriangle* parent) {
  BintreeTriangle t;
  t.leftCorner = left;
  t.rightCorner = right;
  t.parent = parent;
  t.leftNeighbour = nullptr;
  t.rightNeighbour = nullptr;
  t.baseNeighbour = nullptr;
  t.splitVertex = SplitVertexOf(left, right);
  t.key = kUnfiledKey;
  return t;
}

void FileForSplit(BintreeTriangle* t) {
  if (t->splitVertex != -1) SplitQueue.Insert(t, SplitKey(t->splitVertex));
}

// The parent now has a split child, so its diamond can no longer be merged.
void UnfileParent(BintreeTriangle* p) {
  if (p->key == kUnfiledKey) {
    BintreeTriangle* q = p->baseNeighbour;
    if (q == nullptr || q->key == kUnfiledKey) return;
    MergeQueue.Remove(q);
    q->key = kUnfiledKey;
  } else {
    MergeQueue.Remove(p);
    p->key = kUnfiledKey;
  }
}

void CreateChildren(BintreeTriangle* t) {
  TrianglePair* pair = RoamPairPool.Take();
  BintreeTriangle* l = &pair->left;
  BintreeTriangle* r = &pair->right;
  const VertexId apex = t->parent->splitVertex;
  *l = MakeTriangle(apex, t->leftCorner, t);
  *r = MakeTriangle(t->rightCorner, apex, t);

  BintreeTriangle* nl = t->leftNeighbour;
  l->baseNeighbour = nl;
  if (nl != nullptr && nl->baseNeighbour == t) {
    nl->baseNeighbour = l;  // a leaf diamond, already filed by nl
  } else {
    if (nl != nullptr) nl->rightNeighbour = l;
    FileForSplit(l);
  }
  l->leftNeighbour = r;

  BintreeTriangle* nr = t->rightNeighbour;
  r->baseNeighbour = nr;
  if (nr != nullptr && nr->baseNeighbour == t) {
    nr->baseNeighbour = r;
  } else {
    if (nr != nullptr) nr->leftNeighbour = r;
    FileForSplit(r);
  }
  r->rightNeighbour = l;

  t->children = pair;
  t->leftCorner = -1;
}

// Detaches child c of t, whose outer neighbour now borders t itself.
void DetachChild(BintreeTriangle* c, BintreeTriangle* t, bool leftChild) {
  BintreeTriangle* n = c->baseNeighbour;
  if (n != nullptr && n->baseNeighbour == c) {
    n->baseNeighbour = t;
    if (c->key != kUnfiledKey) {
      // c held the leaf diamond of c and n; n now stands for itself.
      SplitQueue.Remove(c);
      FileForSplit(n);
    }
    return;
  }
  if (n != nullptr) {
    if (leftChild)
      n->rightNeighbour = t;
    else
      n->leftNeighbour = t;
  }
  if (c->key != kUnfiledKey) SplitQueue.Remove(c);
}

void CollapseChildren(BintreeTriangle* t) {
  TrianglePair* pair = t->children;
  BintreeTriangle* l = &pair->left;
  BintreeTriangle* r = &pair->right;
  t->leftCorner = l->rightCorner;
  t->rightCorner = r->leftCorner;
  t->leftNeighbour = l->baseNeighbour;
  t->rightNeighbour = r->baseNeighbour;
  DetachChild(l, t, true);
  DetachChild(r, t, false);
  RoamPairPool.Give(pair);
}

bool ChildrenAreLeaves(const BintreeTriangle* t) {
  return t->children != nullptr && t->children->left.IsLeaf() && t->children->right.IsLeaf();
}

// Files p's diamond for merging when all of its children are leaves.
void FileIfMergeable(BintreeTriangle* p) {
  if (!ChildrenAreLeaves(p)) return;
  const BintreeTriangle* q = p->baseNeighbour;
  if (q != nullptr && !ChildrenAreLeaves(q)) return;
  MergeQueue.Insert(p, MergeKey(p->splitVertex));
}

void FreePairs(TrianglePair* pair) {
  if (pair->left.IsSplit()) FreePairs(pair->left.children);
  if (pair->right.IsSplit() && pair->right.children != nullptr) FreePairs(pair->right.children);
  RoamPairPool.Give(pair);
}

}  // namespace

VertexId SplitVertexOf(VertexId a, VertexId b) { return HypotenuseSplitVertex(a, b, CurrentHeightField->xMask); }

void CreateRoots() {
  const int n = CurrentHeightField->n;
  const auto corner = [n](int x, int y) -> VertexId { return (x << n) + ((y << n) << (n + 1)); };
  struct BaseCorners {
    VertexId left, right, apex;
  };
  const BaseCorners bases[2] = {{corner(0, 0), corner(1, 1), corner(0, 1)},
                                {corner(1, 1), corner(0, 0), corner(1, 0)}};
  RoamRoots = new RootRecord[2];
  for (int i = 0; i < 2; ++i) {
    RootRecord& root = RoamRoots[i];
    TrianglePair* pair = RoamPairPool.Take();
    root.triangle = MakeTriangle(0, 0, nullptr);
    root.triangle.leftCorner = -1;
    root.triangle.children = pair;
    root.triangle.splitVertex = bases[i].apex;
    root.triangle.baseNeighbour = &RoamRoots[1 - i].triangle;
    root.leftCorner = bases[i].left;
    root.rightCorner = bases[i].right;

    pair->right = MakeTriangle(0, 0, &root.triangle);
    pair->right.leftCorner = -1;
    pair->right.children = nullptr;
    pair->right.splitVertex = -1;
  }
  BintreeTriangle* base0 = &RoamRoots[0].triangle.children->left;
  BintreeTriangle* base1 = &RoamRoots[1].triangle.children->left;
  *base0 = MakeTriangle(bases[0].left, bases[0].right, &RoamRoots[0].triangle);
  *base1 = MakeTriangle(bases[1].left, bases[1].right, &RoamRoots[1].triangle);
  FileForSplit(base0);
  base0->baseNeighbour = base1;
  base1->baseNeighbour = base0;
}

void FreeRoots() {
  if (RoamRoots == nullptr) return;
  for (int i = 0; i < 2; ++i) FreePairs(RoamRoots[i].triangle.children);
  delete[] RoamRoots;
  RoamRoots = nullptr;
}

void Split(BintreeTriangle* t, bool forced) {
  ++RoamCounters.splits;
  UnfileParent(t->parent);
  BintreeTriangle* b = t->baseNeighbour;
  if (b != nullptr && b->baseNeighbour != t) {
    ++RoamCounters.forceSplits;
    Split(b, true);
    b = t->baseNeighbour;
  }
  CreateChildren(t);
  BintreeTriangle* tl = &t->children->left;
  BintreeTriangle* tr = &t->children->right;
  if (b != nullptr) {
    CreateChildren(b);
    BintreeTriangle* bl = &b->children->left;
    BintreeTriangle* br = &b->children->right;
    tl->rightNeighbour = br;
    br->leftNeighbour = tl;
    tr->leftNeighbour = bl;
    bl->rightNeighbour = tr;
    UnfileParent(b->parent);
    if (forced) {
      if (t->key != kUnfiledKey) {
        SplitQueue.Remove(t);
      } else {
        SplitQueue.Remove(b);
        b->key = kUnfiledKey;
      }
    }
  } else {
    tl->rightNeighbour = nullptr;
    tr->leftNeighbour = nullptr;
    if (forced) SplitQueue.Remove(t);
  }
  MergeQueue.Insert(t, MergeKey(t->splitVertex));
}

void Merge(BintreeTriangle* t) {
  ++RoamCounters.merges;
  BintreeTriangle* b = t->baseNeighbour;
  CollapseChildren(t);
  if (b != nullptr) CollapseChildren(b);
  SplitQueue.Insert(t, SplitKey(t->splitVertex));
  FileIfMergeable(t->parent);
  if (b != nullptr) FileIfMergeable(b->parent);
}
