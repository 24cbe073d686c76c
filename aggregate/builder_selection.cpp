#include "aggregate/adaptive_builder.h"
#include "aggregate/aggregation_builder.h"
#include "aggregate/uniform_builder.h"

AggregationBuilder* CurrentAggregationBuilder = nullptr;

void SelectAggregationBuilder(int level, bool adaptive) {
  AggregationBuilder* current = CurrentAggregationBuilder;
  if (current != nullptr && current->level == level && current->IsAdaptive() == adaptive) return;
  DiscardAggregationBuilder();
  if (adaptive)
    CurrentAggregationBuilder = new AdaptiveBuilder(level);
  else
    CurrentAggregationBuilder = new UniformBuilder(level);
}

void DiscardAggregationBuilder() {
  delete CurrentAggregationBuilder;
  CurrentAggregationBuilder = nullptr;
}
