// A long randomised flight of both drawing methods over the real terrain, drawn for real, with
// method switches, aggregation rebuilds and every view setting on the way. The same lap is flown
// several times from the same start: the trees, pools and queues must pass through the same
// sizes every time, every cache block must come back, and the process must not grow. The laps are
// flown on the system-memory cache, and shorter ones on the buffer-storage cache, whose slots the
// real driver's fences recycle.
//
// QUORVANE_SOAK_FRAMES sets the frames of all system-memory laps together (make soak flies
// 100000); the buffer-storage laps fly a third of that.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "soak/method_footprint.h"
#include "support/bintree_invariants.h"
#include "support/coarse_terrain.h"
#include "support/gl_context.h"
#include "support/process_memory.h"
#include "support/random_flight.h"
#include "support/temp_dir.h"
#include "support/terrain_scene.h"

namespace {

constexpr int kDefaultFrames = 6000;  // about a minute here, beside another test
constexpr int kLaps = 3;
constexpr int kCheckEvery = 20;  // frames between invariant checks
constexpr uint32_t kSeed = 20240611;
constexpr int kMaxLevel = 6;
constexpr int kCombinations = 2 * (kMaxLevel + 1);  // levels 0..6, uniform or adaptive
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

enum Method { kRoam, kCabtt };
const char* MethodName(Method method) { return method == kRoam ? "Standard ROAM" : "CABTT"; }

struct MethodFigures {
  long frames = 0;
  long checks = 0;  // invariant checks passed
  long blocksBuilt = 0;
  long activations = 0;
  long rebuilds = 0;          // of grown CABTT trees
  unsigned aggregations = 0;  // bit 2 x level + adaptive of every CABTT tree flown
  long largestTree = 0;       // pairs
};

struct LapRecord {
  std::vector<MethodFootprint> trace;  // at every check, in order
  std::size_t queueStorage = 0;        // at the end of the lap
};

// The cache both methods fly on, and the share of the soak's frames they fly. Mesa keeps a
// buffer's storage on its heap and makes its pages resident as the ring first reaches them, and
// how far the ring runs ahead of the rasterizer's threads depends on the machine's load: on the
// buffer-storage cache the resident set says nothing of a leak, and the heap moves with the
// driver's work in flight, by a few MiB when the machine is busy.
struct SoakCache {
  const char* name;
  CacheKind kind;
  int framesDivisor;
  bool residentMeaningful;
  std::size_t heapMarginBytes;
};

void PrintTo(const SoakCache& cache, std::ostream* out) { *out << cache.name; }

class SoakTest : public GLTest, public ::testing::WithParamInterface<SoakCache> {
 protected:
  static void SetUpTestSuite() {
    terrainDirectory = new TempDir;
    terrainPath = terrainDirectory->File("soak_hf.png");
    if (!WriteCoarseTerrain(DEFAULT_TERRAIN, kSoakGridExponent, terrainPath)) terrainPath.clear();
  }
  static void TearDownTestSuite() {
    delete terrainDirectory;
    terrainDirectory = nullptr;
  }

  void SetUp() override {
    GLTest::SetUp();
    ASSERT_FALSE(terrainPath.empty()) << "no soak terrain";
    scene_ = std::make_unique<TerrainScene>(terrainPath.c_str(), kSoakWidth, kSoakHeight, GetParam().kind);
    ASSERT_FALSE(HasFailure());
    startView_ = scene_->view();
  }
  void TearDown() override { scene_.reset(); }

  bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

  MethodFootprint Footprint() { return TakeMethodFootprint(scene_->roam().tree(), scene_->cabtt().tree()); }
  long LiveBlocks() { return static_cast<long>(scene_->cache()->blocksBuilt - scene_->cache()->blocksReleased); }

  // Deactivation must give everything back: no pair, no entry, no block, no cache storage.
  void Deactivate() {
    if (scene_->current() == nullptr) return;
    const Method method = scene_->current() == &scene_->roam() ? kRoam : kCabtt;
    CountingCache* cache = scene_->cache();
    scene_->Use(nullptr);
    ASSERT_EQ(cache->blocksBuilt - cache->blocksReleased, 0) << MethodName(method) << " kept blocks";
    ASSERT_EQ(cache->StorageInUse(), 0) << MethodName(method) << " kept cache storage";
    ASSERT_EQ(Footprint(), MethodFootprint{}) << MethodName(method) << " kept pairs or queue entries";
    figures_[method].blocksBuilt += cache->blocksBuilt;
  }

  void Activate(Method method) {
    Deactivate();
    if (HasFailure()) return;
    // The methods' messages would pile up in the scene's log over a long soak.
    scene_->log().log.clear();
    scene_->log().console.clear();
    scene_->Use(method == kRoam ? static_cast<DrawMethod*>(&scene_->roam()) : &scene_->cabtt());
    ++figures_[method].activations;
  }

  // A new level or builder kind for the grown tree: its blocks all come back, the new tree holds
  // none.
  void Rebuild(int level, bool adaptive) {
    scene_->UseAggregation(level, adaptive);
    ++figures_[kCabtt].rebuilds;
    figures_[kCabtt].aggregations |= 1u << (2 * level + adaptive);
    ASSERT_EQ(scene_->cabtt().level(), level);
    ASSERT_EQ(scene_->cabtt().adaptive(), adaptive);
    ASSERT_EQ(LiveBlocks(), 0) << "blocks kept through a rebuild";
  }

  void RandomRebuild() {
    const int level = scene_->cabtt().level();
    const bool adaptive = scene_->cabtt().adaptive();
    switch (Between(0, 2)) {
      case 0:
        Rebuild(level < kMaxLevel ? level + 1 : 0, adaptive);
        break;
      case 1:
        Rebuild(level > 0 ? level - 1 : kMaxLevel, adaptive);
        break;
      default:
        Rebuild(level, !adaptive);
        break;
    }
  }

  void RandomViewSettings() {
    scene_->view().cullingLevel = Between(0, 30);
    scene_->view().wireframeMode = Between(0, 3);
  }

  void RandomCamera() { scene_->SelectCamera(Chance(0.7) ? 0 : Between(1, 2)); }

  // Camera 0 at the flight's next eye, looking the way it moves.
  void Move() {
    const Point3 eye = flight_->Next();
    const FlightState& flight = scene_->view().flight;
    const float dx = eye.x - flight.x;
    const float dy = eye.y - flight.y;
    if (dx * dx + dy * dy > 1e-10f) heading_ = std::atan2(dy, dx);
    scene_->Place({eye.x, eye.y, heading_, eye.z - scene_->field().SampleHeight(eye.x, eye.y)});
  }

  void Check(Method method, LapRecord& lap) {
    const MethodFootprint footprint = Footprint();
    MethodFigures& figures = figures_[method];
    const HeightField& field = scene_->field();
    if (method == kRoam) {
      ASSERT_EQ(CheckTreeInvariants(scene_->roam().tree(), field), "") << "frame " << frame_;
      ASSERT_EQ(CheckSettled(scene_->roam().tree()), "") << "frame " << frame_;
      figures.largestTree = std::max(figures.largestTree, footprint.roamPairsInUse);
    } else {
      ASSERT_EQ(CheckTreeInvariants(scene_->cabtt().tree(), field), "") << "frame " << frame_;
      ASSERT_EQ(CheckSettled(scene_->cabtt().tree()), "") << "frame " << frame_;
      ASSERT_EQ(LiveBlocks(), footprint.cabttBlocksHeld)
          << "frame " << frame_ << ": the cache's live blocks differ from the blocks the leaves hold";
      figures.largestTree = std::max(figures.largestTree, footprint.cabttPairsInUse);
    }
    ++figures.checks;
    lap.trace.push_back(footprint);
  }

  void Frame(Method method, LapRecord& lap) {
    Move();
    scene_->DrawFrame();
    ++figures_[method].frames;
    // Standard ROAM streams: every block it writes goes back within the frame.
    if (method == kRoam) {
      ASSERT_EQ(LiveBlocks(), 0) << "frame " << frame_;
    }
    if (++frame_ % kCheckEvery == 0) Check(method, lap);
  }

  // Legs of one method each, the methods taking turns; CABTT legs go through the levels and
  // builder kinds in turn and rebuild at least once on the way.
  LapRecord FlyLap(int frames) {
    LapRecord lap;
    rng_.seed(kSeed);
    scene_->view() = startView_;
    scene_->SelectCamera(0);
    flight_.emplace(scene_->field(), kSeed);
    heading_ = 0.0f;
    frame_ = 0;
    int cabttLegs = 0;
    for (int leg = 0; frame_ < frames && !HasFailure(); ++leg) {
      const Method method = leg % 2 == 0 ? kRoam : kCabtt;
      Move();
      if (method == kCabtt) {
        const int combination = (5 * cabttLegs++) % kCombinations;
        scene_->cabtt().SetAggregation(combination / 2, combination % 2 == 1);
        figures_[kCabtt].aggregations |= 1u << combination;
      }
      Activate(method);
      if (HasFailure()) break;
      RandomViewSettings();
      RandomCamera();
      const int legFrames = Between(20, 120);
      const int legEnd = std::min(frames, frame_ + legFrames);
      // A tree that has grown and built blocks is rebuilt at least once per leg.
      const int rebuildAt = frame_ + Between(1, legFrames - 1);
      while (frame_ < legEnd && !HasFailure()) {
        if (Chance(0.02)) RandomViewSettings();
        if (Chance(0.01)) RandomCamera();
        if (method == kCabtt && (frame_ == rebuildAt || Chance(0.004))) RandomRebuild();
        if (!HasFailure()) Frame(method, lap);
      }
    }
    if (!HasFailure()) Deactivate();
    lap.queueStorage = RoamQueueStorage(scene_->roam().tree());
    return lap;
  }

  std::unique_ptr<TerrainScene> scene_;
  ViewState startView_;
  std::mt19937 rng_;
  std::optional<RandomFlight> flight_;
  float heading_ = 0.0f;
  int frame_ = 0;
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

TEST_P(SoakTest, LapsFlownAgainHoldTheSameAndGiveEverythingBack) {
  const int lapFrames = (SoakFrames() / GetParam().framesDivisor + kLaps - 1) / kLaps;
  LapRecord first;
  std::size_t residentAfterFirst = 0;
  std::size_t heapAfterFirst = 0;
  for (int lap = 0; lap < kLaps; ++lap) {
    SCOPED_TRACE("lap " + std::to_string(lap + 1));
    LapRecord record = FlyLap(lapFrames);
    if (HasFailure()) return;
    if (lap == 0) {
      first = std::move(record);
      residentAfterFirst = ResidentBytes();
      heapAfterFirst = HeapBytesInUse();
      continue;
    }
    ASSERT_EQ(FirstDifference(first.trace, record.trace), "");
    ASSERT_EQ(record.queueStorage, first.queueStorage) << "the ROAM queues' storage grew";
  }
  const std::size_t residentAtEnd = ResidentBytes();
  const std::size_t heapAtEnd = HeapBytesInUse();
  ASSERT_GT(residentAfterFirst, 0u) << "no resident-set figure from /proc";
  if (kProcessMemoryMeaningful) {
    if (GetParam().residentMeaningful) {
      EXPECT_LE(static_cast<double>(residentAtEnd), residentAfterFirst + kResidentMarginMiB * kBytesPerMiB)
          << "the process grew from lap 1 to lap " << kLaps;
    }
    EXPECT_LE(heapAtEnd, heapAfterFirst + GetParam().heapMarginBytes)
        << "the heap grew from lap 1 to lap " << kLaps;
  }

  for (Method method : {kRoam, kCabtt}) {
    const MethodFigures& f = figures_[method];
    // Both methods must really have flown, and been checked.
    EXPECT_GT(f.frames, lapFrames / 4) << MethodName(method);
    EXPECT_GT(f.checks, 0) << MethodName(method);
    EXPECT_GT(f.largestTree, 0) << MethodName(method) << " never split";
    EXPECT_GT(f.blocksBuilt, 0) << MethodName(method) << " never built a block";
    std::printf(
        "Soak %s on the %s: %ld frames flown, %ld invariant checks passed, %ld activations, largest tree %ld "
        "pairs, %ld blocks built\n",
        MethodName(method), CacheKindDescription(GetParam().kind), f.frames, f.checks, f.activations, f.largestTree,
        f.blocksBuilt);
  }
  const MethodFigures& cabtt = figures_[kCabtt];
  // A lap's last leg may end before its rebuild; every other CABTT leg rebuilds its grown tree.
  EXPECT_GE(cabtt.rebuilds, cabtt.activations - kLaps);
  std::printf(
      "Soak: %d laps of %zu checks, %ld CABTT rebuilds over %d of the %d levels and builders; peak memory "
      "%.1f MiB, memory after lap 1 %.1f MiB, at the end %.1f MiB; heap in use after lap 1 %.2f MiB, then %+ld "
      "bytes by the end\n",
      kLaps, first.trace.size(), cabtt.rebuilds, std::popcount(cabtt.aggregations), kCombinations,
      PeakResidentBytes() / kBytesPerMiB, residentAfterFirst / kBytesPerMiB, residentAtEnd / kBytesPerMiB,
      heapAfterFirst / kBytesPerMiB, static_cast<long>(heapAtEnd) - static_cast<long>(heapAfterFirst));
}

INSTANTIATE_TEST_SUITE_P(Caches, SoakTest,
                         ::testing::Values(SoakCache{"SystemMemory", CacheKind::kSystemMemory, 1, true, kHeapMarginBytes},
                                           SoakCache{"BufferStorage", CacheKind::kBufferStorage, 3, false,
                                                     std::size_t{4} << 20}),
                         [](const ::testing::TestParamInfo<SoakCache>& info) { return info.param.name; });

}  // namespace
