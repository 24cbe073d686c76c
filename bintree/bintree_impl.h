#pragma once
// The member functions of Bintree, included at the end of bintree.h.

template <class Policy>
typename Bintree<Policy>::Node Bintree<Policy>::MakeNode(VertexId left, VertexId right, Node* parent) const {
  Node t{};
  t.leftCorner = left;
  t.rightCorner = right;
  t.children = nullptr;
  t.parent = parent;
  t.leftNeighbour = nullptr;
  t.rightNeighbour = nullptr;
  t.baseNeighbour = nullptr;
  t.splitVertex = policy.SplitVertex(left, right);
  t.key = kNotQueued;
  return t;
}

// Every Take is covered by a reservation made before the operation started.
template <class Policy>
typename Bintree<Policy>::Pair* Bintree<Policy>::TakePair() {
  return new (pool_.Take()) Pair{};
}

template <class Policy>
Failure Bintree<Policy>::OutOfPairs() const {
  return {Format("Out of memory for %d bintree triangle pairs\n", pool_.failedPairs()), Channel::kConsole, 2};
}

template <class Policy>
Status Bintree<Policy>::Start(const HeightField& field, const Point3& eye) {
  Stop();
  policy.Start(eye);
  split_.Initialise(policy.Travel());
  merge_.Initialise(policy.Travel());
  if (!pool_.Reserve(2)) return OutOfPairs();
  const int n = field.n;
  const auto corner = [&field, n](int x, int y) { return field.Id(x << n, y << n); };
  struct TopCorners {
    VertexId left, right, apex;
  };
  // The two top triangles share the diagonal from (0, 0) to (1, 1).
  const TopCorners tops[2] = {{corner(0, 0), corner(1, 1), corner(0, 1)}, {corner(1, 1), corner(0, 0), corner(1, 0)}};
  for (int i = 0; i < 2; ++i) {
    Root& root = roots_[i];
    Pair* pair = TakePair();
    root.node = MakeNode(0, 0, nullptr);
    root.node.leftCorner = -1;
    root.node.children = pair;
    root.node.splitVertex = tops[i].apex;
    root.node.baseNeighbour = &roots_[1 - i].node;
    root.topLeftCorner = tops[i].left;
    root.topRightCorner = tops[i].right;

    pair->right = MakeNode(0, 0, &root.node);
    pair->right.leftCorner = -1;
    pair->right.splitVertex = -1;

    pair->left = MakeNode(tops[i].left, tops[i].right, &root.node);
    // Root 0's top triangle stands for the leaf diamond of the two.
    if (i == 0) FileForSplit(&pair->left);
  }
  Node* top0 = roots_[0].Top();
  Node* top1 = roots_[1].Top();
  top0->baseNeighbour = top1;
  top1->baseNeighbour = top0;
  started_ = true;
  return {};
}

template <class Policy>
void Bintree<Policy>::Stop() {
  split_.Clear();
  merge_.Clear();
  if (started_) {
    for (Root& root : roots_) FreePairs(root.node.children);
    started_ = false;
  }
  pool_.ReleaseAll();
  failure_.reset();
}

template <class Policy>
void Bintree<Policy>::FreePairs(Pair* pair) {
  for (Node* child : {&pair->left, &pair->right}) {
    if (child->IsLeaf())
      policy.RetireLeaf(*child);
    else if (child->children != nullptr)
      FreePairs(child->children);
  }
  pool_.Give(pair);
}

template <class Policy>
void Bintree<Policy>::FileForSplit(Node* t) {
  if (t->splitVertex != -1) split_.Insert(t, policy.SplitKey(t->splitVertex));
}

template <class Policy>
void Bintree<Policy>::FileForMerge(Node* t) {
  merge_.Insert(t, policy.MergeKey(t->splitVertex));
}

// A node the tree says is filed and the queue has lost: the first such failure is kept, and the
// passes stop.
template <class Policy>
void Bintree<Policy>::RemoveFiled(Queue& queue, Node* t) {
  if (!queue.Remove(t) && !failure_) failure_ = queue.Missing(t);
}

// The parent now has a split child, so its diamond can no longer be merged: whichever half
// stands for it leaves the merge queue.
template <class Policy>
void Bintree<Policy>::WithdrawMergeDiamond(Node* p) {
  if (p->key == kNotQueued) {
    Node* q = p->baseNeighbour;
    if (q == nullptr || q->key == kNotQueued) return;
    RemoveFiled(merge_, q);
    q->key = kNotQueued;
  } else {
    RemoveFiled(merge_, p);
    p->key = kNotQueued;
  }
}

// Gives leaf t its two children and links them to t's leg neighbours; the caller links them
// across t's hypotenuse.
template <class Policy>
void Bintree<Policy>::CreateChildren(Node* t) {
  Pair* pair = TakePair();
  Node* l = &pair->left;
  Node* r = &pair->right;
  const VertexId apex = t->Apex();
  *l = MakeNode(apex, t->leftCorner, t);
  *r = MakeNode(t->rightCorner, apex, t);

  Node* nl = t->leftNeighbour;
  l->baseNeighbour = nl;
  if (nl != nullptr && nl->baseNeighbour == t) {
    nl->baseNeighbour = l;  // a leaf diamond, already filed by nl
  } else {
    if (nl != nullptr) nl->rightNeighbour = l;
    FileForSplit(l);
  }
  l->leftNeighbour = r;

  Node* nr = t->rightNeighbour;
  r->baseNeighbour = nr;
  if (nr != nullptr && nr->baseNeighbour == t) {
    nr->baseNeighbour = r;
  } else {
    if (nr != nullptr) nr->leftNeighbour = r;
    FileForSplit(r);
  }
  r->rightNeighbour = l;

  policy.RetireLeaf(*t);
  t->children = pair;
  t->leftCorner = -1;
}

template <class Policy>
void Bintree<Policy>::Split(Node* t, bool forced) {
  ++counters_.splits;
  WithdrawMergeDiamond(t->parent);
  Node* b = t->baseNeighbour;
  if (b != nullptr && b->baseNeighbour != t) {
    // A coarser base neighbour is split first, or the mesh would crack.
    ++counters_.forceSplits;
    Split(b, true);
    b = t->baseNeighbour;
  }
  CreateChildren(t);
  Node* tl = t->LeftChild();
  Node* tr = t->RightChild();
  if (b != nullptr) {
    CreateChildren(b);
    Node* bl = b->LeftChild();
    Node* br = b->RightChild();
    tl->rightNeighbour = br;
    br->leftNeighbour = tl;
    tr->leftNeighbour = bl;
    bl->rightNeighbour = tr;
    WithdrawMergeDiamond(b->parent);
    if (forced) {
      if (t->key != kNotQueued) {
        RemoveFiled(split_, t);
      } else {
        RemoveFiled(split_, b);
        b->key = kNotQueued;
      }
    }
  } else {
    tl->rightNeighbour = nullptr;
    tr->leftNeighbour = nullptr;
    if (forced) RemoveFiled(split_, t);
  }
  FileForMerge(t);
}

// Detaches child c of t, which is being merged back into a leaf: c's outer neighbour now borders
// t itself.
template <class Policy>
void Bintree<Policy>::DetachChild(Node* c, Node* t, bool leftChild) {
  policy.RetireLeaf(*c);
  Node* n = c->baseNeighbour;
  if (n != nullptr && n->baseNeighbour == c) {
    n->baseNeighbour = t;
    if (c->key == kNotQueued) return;
    // c stood for the leaf diamond of c and n; n now stands for itself.
    RemoveFiled(split_, c);
    c->key = kNotQueued;
    FileForSplit(n);
    return;
  }
  if (n != nullptr) {
    if (leftChild)
      n->rightNeighbour = t;
    else
      n->leftNeighbour = t;
  }
  if (c->key != kNotQueued) {
    RemoveFiled(split_, c);
    c->key = kNotQueued;
  }
}

template <class Policy>
void Bintree<Policy>::CollapseChildren(Node* t) {
  Pair* pair = t->children;
  Node* l = &pair->left;
  Node* r = &pair->right;
  t->leftCorner = l->rightCorner;
  t->rightCorner = r->leftCorner;
  t->children = nullptr;
  t->leftNeighbour = l->baseNeighbour;
  t->rightNeighbour = r->baseNeighbour;
  DetachChild(l, t, true);
  DetachChild(r, t, false);
  pool_.Give(pair);
}

template <class Policy>
bool Bintree<Policy>::ChildrenAreLeaves(const Node* t) {
  return t->IsSplit() && t->children != nullptr && t->LeftChild()->IsLeaf() && t->RightChild()->IsLeaf();
}

// Files p's diamond for merging once all its children are leaves. A root never qualifies: its
// placeholder child is never a leaf.
template <class Policy>
void Bintree<Policy>::FileIfMergeable(Node* p) {
  if (!ChildrenAreLeaves(p)) return;
  const Node* q = p->baseNeighbour;
  if (q != nullptr && !ChildrenAreLeaves(q)) return;
  FileForMerge(p);
}

template <class Policy>
void Bintree<Policy>::Merge(Node* t) {
  ++counters_.merges;
  Node* b = t->baseNeighbour;
  CollapseChildren(t);
  if (b != nullptr) CollapseChildren(b);
  FileForSplit(t);
  FileIfMergeable(t->parent);
  if (b != nullptr) FileIfMergeable(b->parent);
}

// Tests every candidate of the queue whose key has come due: files it again under its fresh key
// when that is not below the clock, else changes it. Candidates filed during the pass with keys
// below the clock are taken in the same pass.
template <class Policy>
template <class Change>
void Bintree<Policy>::TestDueCandidates(Queue& queue, uint64_t& tests, bool splitting, Change change) {
  while (!failure_) {
    Node* t = queue.PopBelow(policy.Travel());
    if (t == nullptr) return;
    ++tests;
    const float key = splitting ? policy.SplitKey(t->splitVertex) : policy.MergeKey(t->splitVertex);
    if (key >= policy.Travel()) {
      queue.Insert(t, key);
    } else {
      change(t);
    }
  }
}

template <class Policy>
Status Bintree<Policy>::Refine(const Point3& eye) {
  const float rebase = policy.Advance(eye);
  if (rebase != 0.0f) {
    merge_.Rebase(rebase);
    split_.Rebase(rebase);
  }
  TestDueCandidates(merge_, counters_.mergeTests, false, [this](Node* t) { Merge(t); });
  TestDueCandidates(split_, counters_.splitTests, true, [this](Node* t) {
    if (!pool_.Reserve(kPairsPerSplit)) {
      // The candidate goes back as it was, and the pass ends with the failure.
      split_.Insert(t, t->key);
      if (!failure_) failure_ = OutOfPairs();
      return;
    }
    Split(t, false);
  });
  if (failure_) return *failure_;
  return {};
}
