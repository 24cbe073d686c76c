#include "bench_context.h"

#include <memory>

#include "headless/offscreen_context.h"

Status MakeBenchContextCurrent(int width, int height) {
  static std::unique_ptr<OffscreenContext> context;
  if (context != nullptr) return context->MakeCurrent(width, height);
  Result<std::unique_ptr<OffscreenContext>> created = OffscreenContext::Create(width, height);
  if (!created.ok()) return created.failure();
  context = std::move(created.value());
  return {};
}
