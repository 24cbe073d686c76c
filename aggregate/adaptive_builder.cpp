#include "aggregate/adaptive_builder.h"

namespace {

// An error-grid thread's own adaptive build.
class AdaptiveErrors final : public AggregationBuilder::ErrorEvaluator {
 public:
  AdaptiveErrors(int level, const HeightField& field, const ErrorMetric& metric) : build_(level, field, metric) {}

  bool Allocate() { return build_.Allocate(); }
  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    return build_.Error(left, right, apex);
  }

 private:
  AdaptiveBuild build_;
};

}  // namespace

AdaptiveBuilder::AdaptiveBuilder(int level, const HeightField& field, const ErrorMetric& metric)
    : AggregationBuilder(level, field, metric), build(level, field, metric) {}

std::unique_ptr<AggregationBuilder::ErrorEvaluator> AdaptiveBuilder::NewErrorEvaluator() const {
  auto evaluator = std::make_unique<AdaptiveErrors>(level, field, metric);
  if (!evaluator->Allocate()) return nullptr;
  return evaluator;
}
