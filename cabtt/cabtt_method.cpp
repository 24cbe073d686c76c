#include "cabtt/cabtt_method.h"

#include <algorithm>
#include <utility>

#include "app/view/wireframe.h"
#include "cache/block_limits.h"

int LevelBlockVertices(int level) {
  const int a = 1 << level;
  return (a + 1) * (a + 2) / 2;
}

const char* CachingMessage(CacheKind kind) {
  switch (kind) {
    case CacheKind::kVideoMemory:
      return "nVidia Caching enabled\n";
    case CacheKind::kBufferStorage:
      return "GL buffer storage caching enabled\n";
    case CacheKind::kSystemMemory:
      break;
  }
  return "Caching disabled\n";
}

bool LevelFitsIndexRange(int level) { return level < 16 && LevelBlockVertices(level) <= kMaxBlockVertices; }

CabttMethod::CabttMethod(const Terrain& terrain, CacheSource cacheSource, LogSink& log, BuilderSource builders)
    : CabttMethod(terrain.field, terrain.metric, std::move(cacheSource), log, std::move(builders)) {}

CabttMethod::CabttMethod(const HeightField& field, const ErrorMetric& metric, CacheSource cacheSource, LogSink& log,
                         BuilderSource builders)
    : field_(field),
      metric_(metric),
      cacheSource_(std::move(cacheSource)),
      log_(log),
      builders_(std::move(builders)),
      tree_(counters_, field) {
  if (!builders_) {
    builders_ = [this](int level, bool adaptive) {
      return AggregationBuilder::Make(level, adaptive, field_, metric_, log_);
    };
  }
}

CabttMethod::~CabttMethod() = default;

int CabttMethod::ClampLevel(int level) const { return std::clamp(level, 0, field_.n); }

void CabttMethod::SetAggregation(int level, bool adaptive) {
  level_ = level;
  adaptive_ = adaptive;
}

// The builder for the level and kind (an existing one of the same level and kind is kept, with
// its error grid), then the two top triangles, then the cache's block sizes for the level.
Status CabttMethod::StartTree(const FrameView& view) {
  if (builder_ == nullptr || builder_->level != level_ || builder_->IsAdaptive() != adaptive_) {
    builder_.reset();
    Result<std::unique_ptr<AggregationBuilder>> made = builders_(level_, adaptive_);
    if (!made.ok()) return made.failure();
    builder_ = std::move(made.value());
  }
  tree_.policy.Use(level_, builder_.get(), cache_.get());
  Status started = tree_.Start(field_, view.eye);
  if (!started.ok()) return started;
  const int a = 1 << level_;
  return cache_->Init(LevelBlockVertices(level_), 3 * a * a);
}

Status CabttMethod::Activate(const FrameView& view) {
  // An activation over an active tree would hand the old blocks to the new cache.
  Deactivate();
  log_.LogAndPrintf("%s", CachingMessage(cacheSource_.kind));
  cache_ = cacheSource_.create();
  log_.Logf("Using CABTT drawing method\n");
  log_.Printf("Using CABTT drawing method\n< and > change the aggregation level\n/ toggles adaptive aggregate triangles\n");
  // A level chosen on a larger height field may not exist on this one.
  level_ = ClampLevel(level_);
  return StartTree(view);
}

Status CabttMethod::Rebuild(int level, bool adaptive, const FrameView& view) {
  Deactivate();
  level_ = ClampLevel(level);
  adaptive_ = adaptive;
  return StartTree(view);
}

void CabttMethod::Deactivate() {
  if (!tree_.Started()) return;
  tree_.Stop();
  cache_->Shutdown();
}

Result<bool> CabttMethod::HandleKey(unsigned char key, const FrameView& view) {
  int level = level_;
  bool adaptive = adaptive_;
  switch (key) {
    case '>':
      if (level_ >= field_.n) return false;
      // A block is drawn with 16-bit indices: a level whose blocks hold more vertices is refused
      // here rather than failing when the cache is set up for it.
      if (!LevelFitsIndexRange(level_ + 1)) {
        log_.LogAndPrintf(
            "Aggregation level %d needs more vertices per block than 16-bit indices reach: staying at level %d\n",
            level_ + 1, level_);
        return false;
      }
      level = level_ + 1;
      break;
    case '<':
      if (level_ <= 0) return false;
      level = level_ - 1;
      break;
    case '/':
      adaptive = !adaptive_;
      break;
    default:
      return false;
  }
  Status rebuilt = Rebuild(level, adaptive, view);
  if (!rebuilt.ok()) return rebuilt.failure();
  // The picture changes although the camera does not.
  return true;
}

Status CabttMethod::Refine(const FrameView& view) { return tree_.Refine(view.eye); }

Status CabttMethod::Draw(const FrameView& view, FrameStats& stats) {
  PassAction secondPass = BeginFrameState(view);
  // Refinement follows the flown camera whichever camera draws the picture.
  Status refined = tree_.Refine(view.eye);
  if (!refined.ok()) return refined;
  for (;;) {
    Status drawn = drawer_.DrawPass(tree_, field_, *builder_, *cache_, view.wedge, view.cullingLevel, stats,
                                    counters_);
    if (!drawn.ok()) return drawn;
    if (secondPass == nullptr) return {};
    secondPass();
    secondPass = nullptr;
  }
}

void CabttMethod::PrintStats(LogSink& log, const FrameStats& stats) const {
  LogRefinementStats(log, counters_, stats);
  const double frames = static_cast<double>(stats.frames);
  const MethodCounters& c = counters_;
  const double aggregates = static_cast<double>(c.aggregateTrianglesDrawn);
  log.Logf("%.2f aggregate tris per frame, %.2f sub-triangles per aggregate tri\n", PerUnit(aggregates, frames),
           PerUnit(static_cast<double>(c.subTrianglesDrawn), aggregates));
}
