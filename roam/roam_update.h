#pragma once
#include "terrain/height_field.h"
#include "terrain/point3.h"

// Travel at activation: keys and travel stay within a bounded range around 0.
constexpr float kTravelStart = -8.0f;
// The travel, the queue bases and every filed key move down by this once travel exceeds it.
constexpr float kTravelRebase = 8.0f;

// The travel at which a leaf split by v could first need splitting:
// distance from the eye to v - error of v + travel.
float SplitKey(VertexId v);
// The travel at which the diamond split by v could first need merging:
// travel - (distance from the eye to v - error of v).
float MergeKey(VertexId v);

// Sets the travel clock back to its start with eye as the previous eye, and empties both
// queues with their bases at the travel.
void StartTravel(Point3 eye);

// One frame's refinement for camera 0's eye: advance the travel by the distance moved, then
// merge every due diamond and split every due leaf. No budget: afterwards no filed key lies
// below the travel.
void RoamUpdate(Point3 eye);
