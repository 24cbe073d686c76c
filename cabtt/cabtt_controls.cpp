#include "cabtt/cabtt_controls.h"

#include "app/camera.h"
#include "app/terrain_log.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "terrain/height_field.h"

#include "app/keys.h"

namespace {

// A quotient that is 0 rather than undefined before anything was counted.
double PerUnit(double amount, double units) { return units > 0.0 ? amount / units : 0.0; }

void Rebuild(int level, bool adaptive) {
  RebuildCabtt(level, adaptive);
  // The picture changed although the camera did not: ask for a redraw.
  Flight.moved = true;
}

}  // namespace

void CabttKeyHandler(unsigned char key, int x, int y) {
  switch (key) {
    case '>':
      if (AggregationLevel < CurrentHeightField->n) Rebuild(AggregationLevel + 1, AdaptiveAggregation);
      break;
    case '<':
      if (AggregationLevel > 0) Rebuild(AggregationLevel - 1, AdaptiveAggregation);
      break;
    case '/':
      Rebuild(AggregationLevel, !AdaptiveAggregation);
      break;
    default:
      break;
  }
  OnKey(key, x, y);
}

void PrintCabttStats() {
  const double frames = static_cast<double>(Stats.frames);
  const CabttCounterSet& c = CabttCounters;
  LogPrintf("%.2f merge tests, %.2f merges, %.2f split tests, %.2f splits, %.2f force splits per frame\n",
            PerUnit(c.mergeTests, frames), PerUnit(c.merges, frames), PerUnit(c.splitTests, frames),
            PerUnit(c.splits, frames), PerUnit(c.forceSplits, frames));
  const double aggregates = static_cast<double>(c.aggregateTrianglesDrawn);
  LogPrintf("%.2f aggregate tris per frame, %.2f sub-triangles per aggregate tri\n",
            PerUnit(aggregates, frames), PerUnit(Stats.triangles, aggregates));
}

void ResetCabttStats() { CabttCounters = {}; }

DrawMethod CabttDrawMethod(bool cached) {
  return {cached ? ActivateCabttCached : ActivateCabttUncached,
          DrawCabtt,
          DestroyCabtt,
          CabttKeyHandler,
          PrintCabttStats,
          ResetCabttStats};
}
