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
      if (AggregationLevel >= CurrentHeightField->n) break;
      // A block is drawn with 16-bit indices: a level whose blocks hold more vertices is refused
      // here rather than stopping the program when the cache is set up for it.
      if (!LevelFitsIndexRange(AggregationLevel + 1)) {
        LogAndPrint("Aggregation level %d needs more vertices per block than 16-bit indices reach: staying at "
                    "level %d\n",
                    AggregationLevel + 1, AggregationLevel);
        break;
      }
      Rebuild(AggregationLevel + 1, AdaptiveAggregation);
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
            PerUnit(static_cast<double>(c.mergeTests), frames), PerUnit(static_cast<double>(c.merges), frames),
            PerUnit(static_cast<double>(c.splitTests), frames), PerUnit(static_cast<double>(c.splits), frames),
            PerUnit(static_cast<double>(c.forceSplits), frames));
  const double aggregates = static_cast<double>(c.aggregateTrianglesDrawn);
  LogPrintf("%.2f aggregate tris per frame, %.2f sub-triangles per aggregate tri\n",
            PerUnit(aggregates, frames), PerUnit(static_cast<double>(c.subTrianglesDrawn), aggregates));
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
