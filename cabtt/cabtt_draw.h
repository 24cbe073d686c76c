#pragma once
#include "app/wireframe.h"
#include "cabtt/aggregate_triangle.h"

// The draw operation: view, culling wedge, wireframe state, refinement and drawing.
void DrawCabtt();

// The state of each WireframeMode before the first pass, and the action between the passes
// (null for the one-pass modes).
void ApplyCabttWireframeState(int mode);
PassAction CabttSecondPassAction(int mode);

// Draws both trees, culled to CullingLevel, and books the pass into FrameStats; repeats once
// after secondPass when that is not null.
void DrawCabttPasses(PassAction secondPass);

// Draws node t with the given corners, testing it against the ViewWedge planes in mask for
// depth more levels. A part found outside loses its cached blocks.
void DrawCulled(AggregateTriangle* t, VertexId leftCorner, VertexId rightCorner, VertexId apex,
                int depth, int mask);

// Draws every leaf below t without culling, left child first.
void DrawSubtree(AggregateTriangle* t, VertexId apex);

// Redraws a leaf's cached block, or builds it with the aggregation builder.
void DrawAggregateTriangle(AggregateTriangle* t, VertexId apex);

// Gives back the blocks of every leaf below t; the tree is unchanged.
void ReleaseSubtreeCache(AggregateTriangle* t);
