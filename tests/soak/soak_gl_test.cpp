// A long randomised flight of both drawing methods over the real terrain, drawn for real, with
// method switches, aggregation rebuilds and every view setting on the way. The same lap is flown
// several times from the same start: the trees, pools and queues must pass through the same
// sizes every time, every cache block must come back, and the process must not grow.
//
// QUORVANE_SOAK_FRAMES sets the frames of all laps together (make soak flies 100000).
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "cabtt/cabtt_state.h"
#include "cache/cache_storage.h"
#include "support/cabtt_invariants.h"
#include "support/coarse_terrain.h"
#include "cache/counting_cache.h"
#include "support/gl_context.h"
#include "support/method_footprint.h"
#include "support/process_memory.h"
#include "support/roam_flight.h"
#include "support/roam_invariants.h"
#include "support/temp_dir.h"
#include "support/terrain_scene.h"
#include "terrain/height_field.h"

namespace {

constexpr int kDefaultFrames = 6000;  // about a minute here, beside another test
constexpr int kLaps = 3;
constexpr int kCheckEvery = 20;  // frames between invariant checks
constexpr uint32_t kSeed = 20240611;
constexpr int kMaxLevel = 6;
// The default terrain at 257 x 257 samples, drawn into 160 x 120 pixels: the software
// rasterizer would otherwise take nearly all the time (a frame of the full terrain at full size
// costs several times as much) while the trees, queues and caches are what is soaked.
constexpr int kSoakGridExponent = 8;
constexpr int kSoakWidth = 160;
constexpr int kSoakHeight = 120;
// The process after the last lap against the process after the first: the first lap has made
// every pool, queue, cache and driver allocation the lap needs, so only a leak adds more. The
// resident set moves by up to about a MiB with the allocator's and the driver's caches; the heap
// in use by a few KiB at most, once, in the second lap, and then not at all.
constexpr double kResidentMarginMiB = 2.0;
constexpr std::size_t kHeapMarginBytes = 16 * 1024;
// AddressSanitizer holds freed memory in quarantine and keeps its own heap figures, so process
// memory says nothing there; its leak check at exit does that job instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kProcessMemoryMeaningful = false;
#else
constexpr bool kProcessMemoryMeaningful = true;
#endif

int SoakFrames() {
  const char* text = std::getenv("QUORVANE_SOAK_FRAMES");
  const int frames = text != nullptr ? std::atoi(text) : kDefaultFrames;
  return frames >= kLaps ? frames : kDefaultFrames;
}

const char* MethodName(int method) { return method == kRoamMethod ? "Standard ROAM" : "CABTT"; }

struct MethodFigures {
  long frames = 0;
  long checks = 0;  // invariant checks passed
  long blocksBuilt = 0;
  long switches = 0;
  long rebuilds = 0;
  unsigned aggregations = 0;  // bit 2 x level + adaptive of every CABTT tree flown
  long largestTree = 0;       // pairs
};

struct LapRecord {
  std::vector<MethodFootprint> trace;  // at every check, in order
  std::size_t queueStorage = 0;        // at the end of the lap
};

class SoakTest : public GLTest {
 protected:
  static void SetUpTestSuite() {
    terrainDirectory = new TempDir;
    terrainPath = terrainDirectory->File("soak_hf.png");
    if (!WriteCoarseTerrain(DEFAULT_TERRAIN, kSoakGridExponent, terrainPath)) terrainPath.clear();
  }
  static void TearDownTestSuite() {
    UnloadTerrainScene();
    delete terrainDirectory;
    terrainDirectory = nullptr;
  }

  void SetUp() override {
    GLTest::SetUp();
    ASSERT_FALSE(terrainPath.empty()) << "no soak terrain";
    LoadTerrainScene(terrainPath.c_str());
    ASSERT_TRUE(UseSceneSize(kSoakWidth, kSoakHeight));
    // Whatever earlier tests in this process left in cache storage is not the soak's.
    storageBefore_ = CacheStorageInUse();
  }
  void TearDown() override { UseDrawMethod(-1); }

  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  // Deactivation must give everything back: no pair, no entry, no block, no cache storage.
  void Deactivate() {
    if (CurrentDrawMethod < 0) return;
    const int method = CurrentDrawMethod;
    UseDrawMethod(-1);
    ASSERT_EQ(cache_->blocksBuilt - cache_->blocksReleased, 0) << MethodName(method) << " kept blocks";
    ASSERT_EQ(TakeMethodFootprint(), MethodFootprint{}) << Describe(TakeMethodFootprint());
    ASSERT_EQ(CacheStorageInUse(), storageBefore_) << "cache storage kept after " << MethodName(method);
    figures_[method].blocksBuilt += cache_->blocksBuilt;
    cache_ = nullptr;
  }

  void Activate(int method) {
    Deactivate();
    if (HasFatalFailure()) return;
    UseDrawMethod(method);
    cache_ = CountActiveCache();
    ++figures_[method].switches;
  }

  // A new level or builder kind: the old tree's blocks all come back, the new tree holds none.
  void Rebuild(int level, bool adaptive) {
    UseAggregation(level, adaptive);
    ++figures_[kCabttMethod].rebuilds;
    figures_[kCabttMethod].aggregations |= 1u << (2 * level + adaptive);
    ASSERT_EQ(AggregationLevel, level);
    ASSERT_EQ(cache_->blocksBuilt - cache_->blocksReleased, 0) << "blocks kept through a rebuild";
  }

  void RandomRebuild() {
    switch (Between(0, 2)) {
      case 0:
        Rebuild(AggregationLevel < kMaxLevel ? AggregationLevel + 1 : 0, AdaptiveAggregation);
        break;
      case 1:
        Rebuild(AggregationLevel > 0 ? AggregationLevel - 1 : kMaxLevel, AdaptiveAggregation);
        break;
      default:
        Rebuild(AggregationLevel, !AdaptiveAggregation);
        break;
    }
  }

  void RandomViewSettings() {
    CullingLevel = Between(0, 30);
    WireframeMode = Between(0, 3);
  }

  void RandomCamera() { SelectCamera(Chance(0.7) ? 0 : Between(1, 2)); }

  // Camera 0 at the flight's next eye, looking the way it moves.
  void Move() {
    const Point3 eye = flight_->Next();
    const float dx = eye.x - Flight.x;
    const float dy = eye.y - Flight.y;
    if (dx * dx + dy * dy > 1e-10f) heading_ = std::atan2(dy, dx);
    PlaceCamera({eye.x, eye.y, heading_, eye.z - SampleHeight(eye.x, eye.y)});
  }

  void Check(LapRecord& lap) {
    const int method = CurrentDrawMethod;
    const MethodFootprint footprint = TakeMethodFootprint();
    MethodFigures& figures = figures_[method];
    if (method == kRoamMethod) {
      const std::string fault = CheckRoamInvariants();
      ASSERT_EQ(fault, "") << "frame " << frame_;
      figures.largestTree = std::max(figures.largestTree, footprint.roamPairsInUse);
    } else {
      const std::vector<std::string> faults = CabttInvariantViolations();
      ASSERT_TRUE(faults.empty()) << "frame " << frame_ << ":\n" << Describe(faults);
      ASSERT_TRUE(CabttUnsettledEntries().empty()) << "frame " << frame_ << ":\n" << Describe(CabttUnsettledEntries());
      ASSERT_EQ(cache_->blocksBuilt - cache_->blocksReleased, footprint.cabttBlocksHeld)
          << "frame " << frame_ << ": live blocks differ from the blocks leaves hold";
      figures.largestTree = std::max(figures.largestTree, footprint.cabttPairs);
    }
    ++figures.checks;
    lap.trace.push_back(footprint);
  }

  void Frame(LapRecord& lap) {
    Move();
    DrawSceneFrame();
    ++figures_[CurrentDrawMethod].frames;
    // Standard ROAM streams: every block it writes goes back within the frame.
    if (CurrentDrawMethod == kRoamMethod) {
      ASSERT_EQ(cache_->blocksBuilt, cache_->blocksReleased) << "frame " << frame_;
    }
    if (++frame_ % kCheckEvery == 0) Check(lap);
  }

  // Legs of one method each, the methods taking turns; CABTT legs go through the levels and
  // builder kinds in turn and rebuild at least once on the way.
  LapRecord FlyLap(int frames) {
    LapRecord lap;
    rng_.seed(kSeed);
    ResetViewState();
    SelectCamera(0);
    flight_.emplace(kSeed);
    heading_ = 0.0f;
    frame_ = 0;
    int cabttLegs = 0;
    for (int leg = 0; frame_ < frames; ++leg) {
      const int method = leg % 2 == 0 ? kRoamMethod : kCabttMethod;
      Move();
      Activate(method);
      if (HasFatalFailure()) return lap;
      if (method == kCabttMethod) {
        const int combination = (5 * cabttLegs++) % (2 * (kMaxLevel + 1));
        Rebuild(combination / 2, combination % 2 == 1);
        if (HasFatalFailure()) return lap;
      }
      RandomViewSettings();
      RandomCamera();
      const int legFrames = Between(20, 120);
      const int legEnd = std::min(frames, frame_ + legFrames);
      // A tree that has grown and built blocks is rebuilt at least once per leg.
      const int rebuildAt = frame_ + Between(1, legFrames - 1);
      while (frame_ < legEnd) {
        if (Chance(0.02)) RandomViewSettings();
        if (Chance(0.01)) RandomCamera();
        if (method == kCabttMethod && (frame_ == rebuildAt || Chance(0.004))) RandomRebuild();
        if (HasFatalFailure()) return lap;
        Frame(lap);
        if (HasFatalFailure()) return lap;
      }
    }
    Deactivate();
    SelectCamera(0);
    lap.queueStorage = RoamQueueStorage();
    return lap;
  }

  std::mt19937 rng_;
  std::optional<RoamFlight> flight_;
  float heading_ = 0.0f;
  int frame_ = 0;
  CountingCache* cache_ = nullptr;
  long storageBefore_ = 0;
  MethodFigures figures_[2];
  static inline TempDir* terrainDirectory = nullptr;
  static inline std::string terrainPath;
};

std::string FirstDifference(const std::vector<MethodFootprint>& first, const std::vector<MethodFootprint>& again) {
  for (std::size_t i = 0; i < std::min(first.size(), again.size()); ++i) {
    if (!(first[i] == again[i])) {
      return "check " + std::to_string(i) + ": first lap " + Describe(first[i]) + "\n             again " +
             Describe(again[i]);
    }
  }
  if (first.size() != again.size()) {
    return std::to_string(first.size()) + " checks, then " + std::to_string(again.size());
  }
  return "";
}

TEST_F(SoakTest, LapsFlownAgainHoldTheSameAndGiveEverythingBack) {
  const int lapFrames = (SoakFrames() + kLaps - 1) / kLaps;
  const auto start = std::chrono::steady_clock::now();
  LapRecord first;
  std::size_t residentAfterFirst = 0;
  std::size_t heapAfterFirst = 0;
  for (int lap = 0; lap < kLaps; ++lap) {
    SCOPED_TRACE("lap " + std::to_string(lap + 1));
    LapRecord record = FlyLap(lapFrames);
    if (HasFatalFailure()) return;
    if (lap == 0) {
      first = std::move(record);
      residentAfterFirst = ResidentBytes();
      heapAfterFirst = HeapBytesInUse();
      continue;
    }
    ASSERT_EQ(FirstDifference(first.trace, record.trace), "");
    ASSERT_EQ(record.queueStorage, first.queueStorage) << "the ROAM queues' storage grew";
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::size_t residentAtEnd = ResidentBytes();
  const std::size_t heapAtEnd = HeapBytesInUse();
  const std::size_t peak = PeakResidentBytes();
  ASSERT_GT(residentAfterFirst, 0u) << "no resident-set figure from /proc";
  if (kProcessMemoryMeaningful) {
    EXPECT_LE(static_cast<double>(residentAtEnd), residentAfterFirst + kResidentMarginMiB * kBytesPerMiB)
        << "the process grew from lap 1 to lap " << kLaps;
    EXPECT_LE(heapAtEnd, heapAfterFirst + kHeapMarginBytes) << "the heap grew from lap 1 to lap " << kLaps;
  }

  long frames = 0;
  for (int method : {kRoamMethod, kCabttMethod}) {
    const MethodFigures& f = figures_[method];
    frames += f.frames;
    // Both methods must really have flown.
    EXPECT_GT(f.frames, lapFrames / 4) << MethodName(method);
    EXPECT_GT(f.checks, 0) << MethodName(method);
    std::printf(
        "Soak %s: %ld frames flown, %ld invariant checks passed, %ld activations, largest tree %ld pairs, "
        "%ld blocks built; peak memory %.1f MiB, memory after lap 1 %.1f MiB, at the end %.1f MiB\n",
        MethodName(method), f.frames, f.checks, f.switches, f.largestTree, f.blocksBuilt, peak / kBytesPerMiB,
        residentAfterFirst / kBytesPerMiB, residentAtEnd / kBytesPerMiB);
  }
  const MethodFigures& cabtt = figures_[kCabttMethod];
  // Rebuilds of grown trees besides the one that starts each leg.
  EXPECT_GE(cabtt.rebuilds, 2 * cabtt.switches - kLaps);
  std::printf(
      "Soak: %ld frames in %.1f s (%.0f frames/s), %d laps of %zu checks, %ld CABTT rebuilds over %d of the %d "
      "levels and builders; heap in use after lap 1 %.2f MiB, then %+ld bytes by the end\n",
      frames, seconds, frames / seconds, kLaps, first.trace.size(), cabtt.rebuilds,
      std::popcount(cabtt.aggregations), 2 * (kMaxLevel + 1), heapAfterFirst / kBytesPerMiB,
      static_cast<long>(heapAtEnd) - static_cast<long>(heapAfterFirst));
}

}  // namespace
