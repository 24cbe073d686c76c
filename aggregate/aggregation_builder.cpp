#include "aggregate/aggregation_builder.h"

AggregationBuilder* CurrentAggregationBuilder = nullptr;

AggregationBuilder::AggregationBuilder(int level)
    : level(level), errorGrid(nullptr), subTriangleCapacity(1 << (2 * level)),
      coarseSide(1 << (CurrentHeightField->n - level)),
      coarseRowShift(CurrentHeightField->n + level + 1) {}

AggregationBuilder::~AggregationBuilder() { delete[] errorGrid; }

void DiscardAggregationBuilder() {
  delete CurrentAggregationBuilder;
  CurrentAggregationBuilder = nullptr;
}
