#include "aggregate/aggregation_builder.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "aggregate/adaptive_builder.h"
#include "aggregate/uniform_builder.h"
#include "app/platform/parallel.h"

namespace {

// Depth of the triangle tree down to which the error grid's tasks are single triangles: 2^11
// subtrees below it.
constexpr int kTopLevels = 10;

// The builder's own AggregateError, for a kind that makes no evaluators: one thread only.
class OwnErrors final : public AggregationBuilder::ErrorEvaluator {
 public:
  explicit OwnErrors(AggregationBuilder& builder) : builder_(builder) {}
  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    return builder_.AggregateError(left, right, apex);
  }

 private:
  AggregationBuilder& builder_;
};

}  // namespace

AggregationBuilder::AggregationBuilder(int level, const HeightField& field, const ErrorMetric& metric)
    : level(level),
      subTriangleCapacity(1 << (2 * level)),
      coarseSide(1 << (field.n - level)),
      coarseRowShift(field.n + level + 1),
      field(field),
      metric(metric) {}

Result<std::unique_ptr<AggregationBuilder>> AggregationBuilder::Make(int level, bool adaptive,
                                                                     const HeightField& field,
                                                                     const ErrorMetric& metric, LogSink& log,
                                                                     int threads) {
  std::unique_ptr<AggregationBuilder> builder;
  if (adaptive)
    builder.reset(new AdaptiveBuilder(level, field, metric));
  else
    builder.reset(new UniformBuilder(level, field, metric));
  if (!builder->Allocate())
    return Failure{Format("Out of memory for the adaptive node array (%d entries)\n", 2 << (2 * level)),
                   Channel::kConsole, 2};
  log.LogAndPrintf("Aggregation level %d (%s):\n", level, adaptive ? "adaptive" : "uniform");
  if (!builder->BuildErrorGrid(threads))
    return Failure{Format("Out of memory for the aggregate error grid (%d entries)\n", builder->GridEntries()),
                   Channel::kConsole, 2};
  return builder;
}

bool AggregationBuilder::BuildErrorGrid(int threads) {
  const int entries = GridEntries();
  errorGrid.reset(new (std::nothrow) float[static_cast<size_t>(entries)]);
  if (errorGrid == nullptr) return false;
  std::fill_n(errorGrid.get(), entries, 0.0f);

  // Every splittable aggregate triangle, from the two top triangles down: those of the top levels
  // are one task each, and every subtree below them is one task. A triangle costs about the same
  // whatever its size (its tessellation has at most 4^L sub-triangles), so the subtrees, all of
  // one depth, are equal tasks, enough of them to keep every thread busy to the end.
  const int N = field.N;
  std::vector<Corners> singles;
  std::vector<Corners> subtrees = {{field.Id(N, 0), field.Id(0, 0), field.Id(N, N)},
                                   {field.Id(0, N), field.Id(N, N), field.Id(0, 0)}};
  for (int depth = 0; depth < kTopLevels && !subtrees.empty(); ++depth) {
    std::vector<Corners> below;
    for (const Corners& t : subtrees) {
      singles.push_back(t);
      if (!SplitsFurther(t)) continue;
      const VertexId middle = (t.left + t.right) >> 1;
      below.push_back({middle, t.apex, t.left});
      below.push_back({middle, t.right, t.apex});
    }
    subtrees = std::move(below);
  }
  const int singleTasks = static_cast<int>(singles.size());
  const int tasks = singleTasks + static_cast<int>(subtrees.size());

  if (threads <= 0) threads = HardwareThreads();
  std::vector<std::unique_ptr<ErrorEvaluator>> evaluators;
  while (static_cast<int>(evaluators.size()) < std::min(threads, tasks)) {
    std::unique_ptr<ErrorEvaluator> evaluator = NewErrorEvaluator();
    if (evaluator == nullptr) break;
    evaluators.push_back(std::move(evaluator));
  }
  OwnErrors own(*this);
  // Each worker takes tasks until none is left, always with its own evaluator.
  const int workers = std::max(1, static_cast<int>(evaluators.size()));
  std::atomic<int> next{0};
  ParallelFor(
      workers,
      [&](int worker) {
        ErrorEvaluator& evaluator = evaluators.empty() ? own : *evaluators[static_cast<size_t>(worker)];
        for (int task = next.fetch_add(1); task < tasks; task = next.fetch_add(1)) {
          if (task < singleTasks)
            RaiseGridEntry(singles[static_cast<size_t>(task)], evaluator);
          else
            VisitForErrorGrid(subtrees[static_cast<size_t>(task - singleTasks)], evaluator);
        }
      },
      workers);
  return true;
}

// Triangles whose legs span one 2^L cell are the finest aggregate size: never split, so their
// children have no entry.
bool AggregationBuilder::SplitsFurther(const Corners& t) const {
  const int step = 1 << level;
  return std::abs(field.GridX(t.apex) - field.GridX(t.left)) > step ||
         std::abs(field.GridY(t.apex) - field.GridY(t.left)) > step;
}

// The entry of the triangle's split vertex keeps the largest error of the two triangles that
// share it, whichever thread raises it last.
void AggregationBuilder::RaiseGridEntry(const Corners& t, ErrorEvaluator& evaluator) {
  const float error = evaluator.AggregateError(t.left, t.right, t.apex);
  RaiseAtomically(errorGrid[GridEntryIndex((t.left + t.right) >> 1)], error);
}

// The triangle and every splittable triangle below it; their split vertices all lie on the coarse
// grid.
void AggregationBuilder::VisitForErrorGrid(const Corners& t, ErrorEvaluator& evaluator) {
  RaiseGridEntry(t, evaluator);
  if (!SplitsFurther(t)) return;
  const VertexId middle = (t.left + t.right) >> 1;
  VisitForErrorGrid({middle, t.apex, t.left}, evaluator);
  VisitForErrorGrid({middle, t.right, t.apex}, evaluator);
}
