#include "cabtt_world.h"

#include <GL/gl.h>

#include <cmath>
#include <set>

#include "support/bintree_invariants.h"
#include "support/test_terrain.h"

std::string CheckCachedBlocks(const CabttTree& tree, const RecordingCache& cache) {
  if (!cache.faults.empty()) return "cache: " + Describe(cache.faults);
  if (cache.unflushedDraws != 0) return std::to_string(cache.unflushedDraws) + " draws left unflushed by the pass";
  std::set<BlockHandle> held;
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(tree)) {
    const CachedBlock& cached = leaf.node->leaf;
    if (cached.block == kNoBlock) continue;
    const auto live = cache.live.find(cached.block);
    if (live == cache.live.end()) return "a leaf holds block " + std::to_string(cached.block) + ", which is not live";
    if (!held.insert(cached.block).second) return "two leaves hold block " + std::to_string(cached.block);
    if (live->second.indexCount != 3 * cached.subTriangles)
      return "a leaf counts " + std::to_string(cached.subTriangles) + " sub-triangles in a block of " +
             std::to_string(live->second.indexCount) + " indices";
  }
  if (held.size() != cache.live.size())
    return std::to_string(cache.live.size()) + " blocks live but " + std::to_string(held.size()) + " held by leaves";
  return "";
}

void CabttTest::SetUp() {
  GLTest::SetUp();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  if (flat_) {
    HeightField field = FlatField(n_);
    ErrorMetric metric = ZeroMetric(field);
    terrain_ = std::make_unique<Terrain>(Terrain{std::move(field), std::move(metric)});
  } else {
    terrain_ = std::make_unique<Terrain>(RoughTerrain(n_, 7));
  }
  CacheSource caches{CacheKind::kSystemMemory, [this] {
                       auto cache = std::make_unique<RecordingCache>();
                       cache_ = cache.get();
                       return std::unique_ptr<GeometryCache>(std::move(cache));
                     }};
  auto builders = [this](int level, bool adaptive) -> Result<std::unique_ptr<AggregationBuilder>> {
    builderRequests_.emplace_back(level, adaptive);
    return std::unique_ptr<AggregationBuilder>(
        std::make_unique<FakeAggregationBuilder>(level, adaptive, *terrain_, errors_, seed_, scale_));
  };
  method_ = std::make_unique<CabttMethod>(*terrain_, std::move(caches), log_, std::move(builders));
}

void CabttTest::TearDown() {
  method_.reset();
  glPopAttrib();
}

void CabttTest::Start(int level, bool adaptive, Point3 eye) {
  method_->SetAggregation(level, adaptive);
  const Status activated = method_->Activate(View(eye));
  ASSERT_TRUE(activated.ok()) << activated.failure().message;
}

FrameView CabttTest::View(const Point3& eye, float heading) const {
  FrameView view{};
  view.eye = eye;
  view.camera = {eye, {eye.x + 0.8f * std::cos(heading), eye.y + 0.8f * std::sin(heading), eye.z}, 45.0f,
                 {0.0f, 0.0f, 1.0f}};
  view.wedge = ComputeViewWedge(view.camera, 640, 480);
  view.cullingLevel = cullingLevel_;
  view.wireframeMode = wireframeMode_;
  return view;
}

void CabttTest::Frame(const Point3& eye, float heading) {
  const Status drawn = method_->Draw(View(eye, heading), stats_);
  stats_.frames += 1;
  if (!drawn.ok()) ADD_FAILURE() << drawn.failure().message;
}

std::string CabttTest::Check() const {
  const std::string tree = method_->tree().Started() ? CheckTreeInvariants(method_->tree(), terrain_->field) : "";
  if (!tree.empty()) return tree;
  return cache_ == nullptr ? "" : CheckCachedBlocks(method_->tree(), *cache_);
}
