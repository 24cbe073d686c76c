// Long randomised flights: after every frame the tree, both queues and the cache must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "app/camera.h"
#include "cabtt/cabtt_controls.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"

namespace {

struct FlightCase {
  int level;
  FakeErrors errors;
  bool disturb;  // level keys, kind toggles and reactivation on the way
};

// Larger errors than the default give trees of several hundred leaves.
constexpr float kErrorScale = 3.0f;

int SecondPasses = 0;
void CountSecondPass() { ++SecondPasses; }

class CabttFlightTest : public CabttTest, public ::testing::WithParamInterface<FlightCase> {
 protected:
  CabttFlightTest() { n_ = 7; }

  void SetUp() override {
    CabttTest::SetUp();
    rng_.seed(1234 + 17 * GetParam().level + (GetParam().errors == FakeErrors::kNested ? 0 : 5) +
              (GetParam().disturb ? 100 : 0));
    cache_->onDraw = [this](BlockHandle, bool built) {
      if (built && SecondPasses > passesBefore_) ++blocksBuiltInSecondPass_;
    };
  }

  float Uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng_); }
  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }

  // Moves the eye a small step, or now and then somewhere else entirely.
  void Move() {
    if (Chance(0.02)) {
      eye_ = {Uniform(-0.2f, 1.2f), Uniform(-0.2f, 1.2f), Uniform(0.0f, 1.5f)};
      heading_ = Uniform(-3.1f, 3.1f);
      return;
    }
    heading_ += Uniform(-0.15f, 0.15f);
    const float step = Uniform(0.0f, 0.02f);
    eye_.x = std::clamp(eye_.x + step * std::cos(heading_), -0.1f, 1.1f);
    eye_.y = std::clamp(eye_.y + step * std::sin(heading_), -0.1f, 1.1f);
    eye_.z = std::clamp(eye_.z + Uniform(-0.01f, 0.01f), 0.0f, 0.4f);
  }

  void FrameAndCheck() {
    passesBefore_ = SecondPasses;
    Frame(eye_, heading_, WireframeMode == 1 || WireframeMode == 2 ? CountSecondPass : nullptr);
    ++frames_;
    const auto violations = CabttInvariantViolations(cache_);
    ASSERT_TRUE(violations.empty()) << "frame " << frames_ << ":\n" << Describe(violations);
    ASSERT_EQ(blocksBuiltInSecondPass_, 0) << "a second pass rebuilt a block";
    if (GetParam().errors == FakeErrors::kNested) {
      ASSERT_TRUE(CabttUnsettledEntries().empty()) << Describe(CabttUnsettledEntries());
    }
  }

  // A frame from the same eye must find nothing to test.
  void RestAndCheck() {
    const CabttCounterSet before = CabttCounters;
    FrameAndCheck();
    ASSERT_EQ(CabttCounters.splitTests, before.splitTests);
    ASSERT_EQ(CabttCounters.mergeTests, before.mergeTests);
  }

  void ChangeViewSettings() {
    const int levels[] = {0, 1, 2, 5, 14, 30};
    CullingLevel = levels[rng_() % 6];
    WireframeMode = static_cast<int>(rng_() % 4);
  }

  // Presses a CABTT key; a rebuild finds a fake builder of the new level and kind waiting.
  void PressKey(unsigned char key) {
    int level = AggregationLevel;
    bool adaptive = AdaptiveAggregation;
    if (key == '>' && level < n_) ++level;
    if (key == '<' && level > 0) --level;
    if (key == '/') adaptive = !adaptive;
    if (level != AggregationLevel || adaptive != AdaptiveAggregation) {
      InstallFakeBuilder(level, adaptive, GetParam().errors, 1, kErrorScale);
    }
    CabttKeyHandler(key, 0, 0);
    ASSERT_EQ(AggregationLevel, level);
    ASSERT_EQ(AdaptiveAggregation, adaptive);
  }

  void Fly(int frames, bool disturb) {
    eye_ = {0.5f, 0.5f, 0.05f};
    Cameras[0].eye = eye_;
    Start(GetParam().level, true, GetParam().errors, 1, kErrorScale);
    for (int f = 0; f < frames; ++f) {
      if (f % 40 == 0) ChangeViewSettings();
      if (disturb && Chance(0.04)) {
        const unsigned char keys[] = {'<', '>', '/', 'x'};
        PressKey(keys[rng_() % 4]);
      }
      if (disturb && Chance(0.01)) {
        DestroyCabtt();
        ASSERT_TRUE(CabttTornDownViolations(*cache_).empty()) << Describe(CabttTornDownViolations(*cache_));
        Cameras[0].eye = eye_;
        ActivateCabtt();
      }
      Move();
      FrameAndCheck();
      if (HasFatalFailure()) return;
      if (GetParam().errors == FakeErrors::kNested && Chance(0.05)) RestAndCheck();
      if (HasFatalFailure()) return;
    }
    // The flight must have exercised both directions (one level below n has too few nodes).
    if (GetParam().level < n_ - 1) {
      EXPECT_GT(CabttCounters.merges, 0u);
    }
    EXPECT_GT(CabttCounters.splits, 0u);
    DestroyCabtt();
    EXPECT_TRUE(CabttTornDownViolations(*cache_).empty()) << Describe(CabttTornDownViolations(*cache_));
  }

  std::mt19937 rng_;
  Point3 eye_ = {};
  float heading_ = 0.0f;
  int frames_ = 0;
  int passesBefore_ = 0;
  int blocksBuiltInSecondPass_ = 0;
};

TEST_P(CabttFlightTest, StaysSoundThroughARandomFlight) { Fly(GetParam().disturb ? 1500 : 400, GetParam().disturb); }

std::string CaseName(const ::testing::TestParamInfo<FlightCase>& info) {
  return "Level" + std::to_string(info.param.level) +
         (info.param.errors == FakeErrors::kNested ? "Nested" : "Random");
}

std::vector<FlightCase> Cases(std::initializer_list<int> levels, bool disturb) {
  std::vector<FlightCase> cases;
  for (int level : levels) {
    cases.push_back({level, FakeErrors::kNested, disturb});
    cases.push_back({level, FakeErrors::kRandom, disturb});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryLevel, CabttFlightTest,
                         ::testing::ValuesIn(Cases({0, 1, 2, 3, 4, 5, 6}, false)), CaseName);
INSTANTIATE_TEST_SUITE_P(LevelKeysKindTogglesAndReactivation, CabttFlightTest,
                         ::testing::ValuesIn(Cases({0, 3, 6}, true)), CaseName);

}  // namespace
