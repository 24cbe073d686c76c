#pragma once
#include "bintree/bintree_node.h"

// A Standard ROAM leaf carries nothing: its triangles are written anew every frame.
struct RoamLeaf {};

using RoamNode = BintreeNode<RoamLeaf>;
using RoamPair = NodePair<RoamLeaf>;
using RoamRoot = BintreeRoot<RoamLeaf>;
