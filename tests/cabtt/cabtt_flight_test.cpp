// Long random flights: after every frame the tree, both queues and the cache must agree, a second
// pass must redraw exactly what the first drew, and the statistics must count what was drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "cabtt_world.h"
#include "support/bintree_invariants.h"
#include "support/random_flight.h"

namespace {

struct FlightCase {
  int level;
  FakeErrors errors;
  bool disturb;  // level keys, kind toggles and reactivation on the way
};

class CabttFlightTest : public CabttTest, public ::testing::WithParamInterface<FlightCase> {
 protected:
  CabttFlightTest() : CabttTest(7) {}

  void SetUp() override {
    CabttTest::SetUp();
    errors_ = GetParam().errors;
    scale_ = 3.0f;  // larger errors than the default give trees of several hundred leaves
    random_.seed(1234 + 17 * GetParam().level + (GetParam().errors == FakeErrors::kNested ? 0 : 5) +
                 (GetParam().disturb ? 100 : 0));
  }

  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }

  // The next eye of the flight, looking where it goes (now and then somewhere else).
  void Move(RandomFlight& flight) {
    const Point3 next = flight.Next();
    const float dx = next.x - eye_.x, dy = next.y - eye_.y;
    if (Chance(0.02))
      heading_ = std::uniform_real_distribution<float>(-3.1f, 3.1f)(random_);
    else if (dx * dx + dy * dy > 1e-10f)
      heading_ = std::atan2(dy, dx);
    eye_ = next;
  }

  void FrameAndCheck() {
    struct Drawn {
      BlockHandle handle;
      bool built;
    };
    std::vector<Drawn> drawn;
    cache_->onDraw = [&drawn](BlockHandle handle, bool built) { drawn.push_back({handle, built}); };
    const MethodCounters before = method_->Counters();
    const double trianglesBefore = stats_.triangles;
    Frame(eye_, heading_);
    cache_->onDraw = nullptr;
    ++frames_;
    const std::string broken = Check();
    ASSERT_TRUE(broken.empty()) << "frame " << frames_ << ": " << broken;
    if (GetParam().errors == FakeErrors::kNested) {
      const std::string unsettled = CheckSettled(method_->tree());
      ASSERT_TRUE(unsettled.empty()) << "frame " << frames_ << ": " << unsettled;
    }
    // A second pass draws every block of the first again, in the same order, building none.
    const bool twoPasses = wireframeMode_ == 1 || wireframeMode_ == 2;
    const size_t perPass = twoPasses ? drawn.size() / 2 : drawn.size();
    if (twoPasses) {
      ASSERT_EQ(drawn.size() % 2, 0u) << "frame " << frames_;
      for (size_t i = 0; i < perPass; ++i) {
        ASSERT_FALSE(drawn[perPass + i].built) << "frame " << frames_ << ": the second pass built a block";
        ASSERT_EQ(drawn[perPass + i].handle, drawn[i].handle) << "frame " << frames_;
      }
    }
    // The statistics count exactly the sub-triangles of the blocks drawn.
    double subTriangles = 0;
    for (const Drawn& d : drawn) subTriangles += cache_->live.at(d.handle).indexCount / 3;
    const MethodCounters& after = method_->Counters();
    ASSERT_EQ(after.aggregateTrianglesDrawn - before.aggregateTrianglesDrawn, drawn.size()) << "frame " << frames_;
    ASSERT_EQ(after.subTrianglesDrawn - before.subTrianglesDrawn, static_cast<uint64_t>(subTriangles));
    ASSERT_EQ(stats_.triangles - trianglesBefore, subTriangles);
  }

  // A frame from the same eye must find nothing to test.
  void RestAndCheck() {
    const MethodCounters before = method_->Counters();
    FrameAndCheck();
    ASSERT_EQ(method_->Counters().splitTests, before.splitTests);
    ASSERT_EQ(method_->Counters().mergeTests, before.mergeTests);
  }

  // Presses a key of the method's and checks the level and kind it leaves.
  void PressKey(unsigned char key) {
    int level = method_->level();
    bool adaptive = method_->adaptive();
    if (key == '>' && level < n_) ++level;
    if (key == '<' && level > 0) --level;
    if (key == '/') adaptive = !adaptive;
    const bool rebuilds = level != method_->level() || adaptive != method_->adaptive();
    const Result<bool> handled = method_->HandleKey(key, View(eye_, heading_));
    ASSERT_TRUE(handled.ok()) << handled.failure().message;
    EXPECT_EQ(handled.value(), rebuilds);
    if (rebuilds) {
      EXPECT_TRUE(cache_->live.empty()) << "a rebuild kept blocks";
    }
    ASSERT_EQ(method_->level(), level);
    ASSERT_EQ(method_->adaptive(), adaptive);
    ASSERT_EQ(builderRequests_.back(), std::make_pair(level, adaptive));
  }

  void Reactivate() {
    method_->Deactivate();
    EXPECT_FALSE(method_->tree().Started());
    ASSERT_TRUE(cache_->live.empty()) << cache_->live.size() << " blocks still live";
    const Status activated = method_->Activate(View(eye_, heading_));
    ASSERT_TRUE(activated.ok()) << activated.failure().message;
  }

  void Fly(int frames) {
    RandomFlight flight(field(), random_());
    eye_ = flight.Next();
    Start(GetParam().level, true, eye_);
    for (int f = 0; f < frames && !HasFatalFailure(); ++f) {
      if (f % 40 == 0) {
        const int levels[] = {0, 1, 2, 5, 14, 30};
        cullingLevel_ = levels[random_() % 6];
        wireframeMode_ = static_cast<int>(random_() % 4);
      }
      if (GetParam().disturb && Chance(0.04)) {
        const unsigned char keys[] = {'<', '>', '/', 'x'};
        PressKey(keys[random_() % 4]);
      }
      if (GetParam().disturb && Chance(0.01)) Reactivate();
      if (HasFatalFailure()) return;
      Move(flight);
      FrameAndCheck();
      if (GetParam().errors == FakeErrors::kNested && Chance(0.05) && !HasFatalFailure()) RestAndCheck();
    }
    if (HasFatalFailure()) return;
    // The flight must have exercised both directions (a level one below n has too few nodes).
    if (GetParam().level < n_ - 1) {
      EXPECT_GT(method_->Counters().merges, 0u);
    }
    EXPECT_GT(method_->Counters().splits, 0u);
    method_->Deactivate();
    EXPECT_TRUE(cache_->live.empty());
    EXPECT_EQ(cache_->blocksReleased, cache_->blocksBuilt);
    EXPECT_TRUE(cache_->faults.empty()) << Describe(cache_->faults);
  }

  std::mt19937 random_;
  Point3 eye_ = {};
  float heading_ = 0.0f;
  int frames_ = 0;
};

// The flights rely on the cache check: it must see a block leaked or lost.
TEST_F(CabttTest, TheCacheCheckSeesALeakedOrALostBlock) {
  Start(1);
  Frame({0.4f, 0.45f, 0.03f}, 0.5f);
  ASSERT_EQ(Check(), "");
  CacheVertex* vertices;
  uint16_t* indices;
  ASSERT_TRUE(cache_->BeginBlock(&vertices, &indices).ok());
  const BlockHandle stray = cache_->EndBlock(0, 0);
  cache_->Flush();
  EXPECT_NE(CheckCachedBlocks(method_->tree(), *cache_), "");
  cache_->ReleaseBlock(stray);
  ASSERT_EQ(CheckCachedBlocks(method_->tree(), *cache_), "");
  BlockHandle held = kNoBlock;
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(method_->tree()))
    if (leaf.node->leaf.block != kNoBlock) held = leaf.node->leaf.block;
  ASSERT_NE(held, kNoBlock);
  auto block = cache_->live.extract(held);
  EXPECT_NE(CheckCachedBlocks(method_->tree(), *cache_), "");
  cache_->live.insert(std::move(block));
  EXPECT_EQ(CheckCachedBlocks(method_->tree(), *cache_), "");
}

TEST_P(CabttFlightTest, StaysSoundThroughARandomFlight) { Fly(GetParam().disturb ? 1500 : 400); }

std::string CaseName(const ::testing::TestParamInfo<FlightCase>& info) {
  return "Level" + std::to_string(info.param.level) + (info.param.errors == FakeErrors::kNested ? "Nested" : "Random");
}

std::vector<FlightCase> Cases(std::initializer_list<int> levels, bool disturb) {
  std::vector<FlightCase> cases;
  for (int level : levels) {
    cases.push_back({level, FakeErrors::kNested, disturb});
    cases.push_back({level, FakeErrors::kRandom, disturb});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, CabttFlightTest, ::testing::ValuesIn(Cases({0, 1, 2, 3, 4, 5, 6}, false)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(LevelKeysKindTogglesAndReactivation, CabttFlightTest,
                         ::testing::ValuesIn(Cases({0, 3, 6}, true)), CaseName);

}  // namespace
