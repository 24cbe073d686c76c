#pragma once
#include "app/wireframe.h"
#include "cabtt/aggregate_triangle.h"
#include "terrain/point3.h"

// One frame of CABTT: refine the tree for camera 0's eye, then draw it (a second pass with
// secondPass applied first when it is not null).
void RefineCabtt(const Point3& eye, PassAction secondPass);

// The refinement part: advance and rebase the clock, merge pass, split pass. Afterwards every
// candidate whose key fell below the clock has been tested.
void UpdateCabttTree(const Point3& eye);

// Splits leaf p (and first, by force, a coarser base neighbour) and its diamond partner.
void SplitTriangle(AggregateTriangle* p, bool forced);

// Gives leaf p its two children and links them to p's leg neighbours. The caller links the
// children across p's hypotenuse.
void CreateChildren(AggregateTriangle* p);

// Merges the split diamond that p represents back into leaves.
void MergeDiamond(AggregateTriangle* p);

// Turns p back into a leaf, freeing its children.
void CollapseChildren(AggregateTriangle* p);

// Which leg of the parent the child's outer neighbour meets: right for a left child, left for
// a right child.
enum class ChildSide { kLeft, kRight };

// Unlinks a child that is about to be freed from its outer neighbour and the split queue.
void DetachChild(AggregateTriangle* child, ChildSide side);

// Takes P's diamond out of the merge queue, whichever of P and its base neighbour holds it.
void WithdrawMergeDiamond(AggregateTriangle* p);
