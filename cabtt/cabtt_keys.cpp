#include "cabtt/cabtt_keys.h"

#include <cmath>

#include "aggregate/aggregation_builder.h"
#include "cabtt/cabtt_state.h"

namespace {

// Distance from the eye to the vertex less its aggregate error.
double DistanceBeyondError(VertexId v) {
  const Point3 p = CurrentHeightField->WorldPosition(v);
  const double dx = static_cast<double>(p.x) - CabttLastEye.x;
  const double dy = static_cast<double>(p.y) - CabttLastEye.y;
  const double dz = static_cast<double>(p.z) - CabttLastEye.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz) - CurrentAggregationBuilder->GridError(v);
}

}  // namespace

float CabttSplitKey(VertexId splitVertex) {
  return static_cast<float>(DistanceBeyondError(splitVertex) + CabttTravel);
}

float CabttMergeKey(VertexId splitVertex) {
  return static_cast<float>(CabttTravel - DistanceBeyondError(splitVertex));
}
