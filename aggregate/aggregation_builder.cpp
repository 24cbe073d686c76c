#include "aggregate/aggregation_builder.h"

#include <cstdlib>
#include <new>

#include "aggregate/adaptive_builder.h"
#include "aggregate/uniform_builder.h"

AggregationBuilder::AggregationBuilder(int level, const HeightField& field, const ErrorMetric& metric)
    : level(level),
      subTriangleCapacity(1 << (2 * level)),
      coarseSide(1 << (field.n - level)),
      coarseRowShift(field.n + level + 1),
      field(field),
      metric(metric) {}

Result<std::unique_ptr<AggregationBuilder>> AggregationBuilder::Make(int level, bool adaptive,
                                                                     const HeightField& field,
                                                                     const ErrorMetric& metric, LogSink& log) {
  std::unique_ptr<AggregationBuilder> builder;
  if (adaptive)
    builder.reset(new AdaptiveBuilder(level, field, metric));
  else
    builder.reset(new UniformBuilder(level, field, metric));
  if (!builder->Allocate())
    return Failure{Format("Out of memory for the adaptive node array (%d entries)\n", 2 << (2 * level)),
                   Channel::kConsole, 2};
  log.LogAndPrintf("Aggregation level %d (%s):\n", level, adaptive ? "adaptive" : "uniform");
  if (!builder->BuildErrorGrid())
    return Failure{Format("Out of memory for the aggregate error grid (%d entries)\n", builder->GridEntries()),
                   Channel::kConsole, 2};
  return builder;
}

bool AggregationBuilder::BuildErrorGrid() {
  const int entries = GridEntries();
  errorGrid.reset(new (std::nothrow) float[static_cast<size_t>(entries)]);
  if (errorGrid == nullptr) return false;
  for (int i = 0; i < entries; ++i) errorGrid[i] = 0.0f;
  const int N = field.N;
  VisitForErrorGrid(field.Id(N, 0), field.Id(0, 0), field.Id(N, N));
  VisitForErrorGrid(field.Id(0, N), field.Id(N, N), field.Id(0, 0));
  return true;
}

// Every aggregate triangle that can be split; their split vertices all lie on the coarse grid.
void AggregationBuilder::VisitForErrorGrid(VertexId apex, VertexId left, VertexId right) {
  const float error = AggregateError(left, right, apex);
  const VertexId middle = (left + right) >> 1;
  float& entry = errorGrid[GridEntryIndex(middle)];
  if (!(error < entry)) entry = error;

  const int step = 1 << level;
  if (std::abs(field.GridX(apex) - field.GridX(left)) <= step &&
      std::abs(field.GridY(apex) - field.GridY(left)) <= step)
    return;
  VisitForErrorGrid(middle, apex, left);
  VisitForErrorGrid(middle, right, apex);
}
