#pragma once
#include "terrain/height_field.h"

// Deferred keys of a split vertex against CabttTravel, for the eye the tree is refined for
// (CabttLastEye, camera 0's eye of the current step). Computed in double, stored as float.
//   split key = distance - error + travel: below the clock when the leaf needs a split
//   merge key = travel - (distance - error): below the clock when the diamond may merge
float CabttSplitKey(VertexId splitVertex);
float CabttMergeKey(VertexId splitVertex);
