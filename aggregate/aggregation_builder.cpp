#include "aggregate/aggregation_builder.h"

#include <cstdlib>

#include "aggregate/allocate_or_exit.h"
#include "app/terrain_log.h"

AggregationBuilder::AggregationBuilder(int level)
    : level(level), errorGrid(nullptr), subTriangleCapacity(1 << (2 * level)),
      coarseSide(1 << (CurrentHeightField->n - level)),
      coarseRowShift(CurrentHeightField->n + level + 1) {}

AggregationBuilder::~AggregationBuilder() { delete[] errorGrid; }

void AggregationBuilder::BuildErrorGrid() {
  LogAndPrint("Aggregation level %d (%s):\n", level, IsAdaptive() ? "adaptive" : "uniform");
  delete[] errorGrid;
  errorGrid = nullptr;
  const int entries = GridEntries();
  errorGrid = AllocateOrExit<float>(static_cast<std::size_t>(entries), "aggregate error grid");
  for (int i = 0; i < entries; ++i) errorGrid[i] = 0.0f;

  const HeightField& field = *CurrentHeightField;
  const int N = field.N;
  VisitForErrorGrid(field.Id(N, 0), field.Id(0, 0), field.Id(N, N));
  VisitForErrorGrid(field.Id(0, N), field.Id(N, N), field.Id(0, 0));
}

// Every aggregate triangle that can be split; their split vertices all lie on the coarse grid.
void AggregationBuilder::VisitForErrorGrid(VertexId apex, VertexId left, VertexId right) {
  const float error = AggregateError(left, right, apex);
  const VertexId middle = (left + right) >> 1;
  float& entry = errorGrid[GridEntryIndex(middle)];
  if (!(error < entry)) entry = error;

  const HeightField& field = *CurrentHeightField;
  const int step = 1 << level;
  if (std::abs(field.GridX(apex) - field.GridX(left)) <= step &&
      std::abs(field.GridY(apex) - field.GridY(left)) <= step)
    return;
  VisitForErrorGrid(middle, apex, left);
  VisitForErrorGrid(middle, right, apex);
}
