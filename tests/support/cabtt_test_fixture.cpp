#include "support/cabtt_test_fixture.h"

#include <cmath>

#include "app/camera.h"
#include "app/terrain_log.h"
#include "app/view_wedge.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "cabtt/cabtt_refine.h"

void CabttTest::SetUp() { cache_ = InstallCabttTestWorld(n_); }

void CabttTest::TearDown() {
  RemoveCabttTestWorld();
  CloseTerrainLog();
}

FakeAggregationBuilder* CabttTest::Start(int level, bool adaptive, FakeErrors errors, uint32_t seed,
                                        float scale) {
  AggregationLevel = level;
  AdaptiveAggregation = adaptive;
  FakeAggregationBuilder* builder = InstallFakeBuilder(ClampAggregationLevel(level), adaptive, errors, seed, scale);
  ActivateCabtt();
  return builder;
}

void CabttTest::Frame(const Point3& eye, float heading, void (*secondPass)()) {
  Cameras[0].eye = eye;
  Cameras[0].centre = {eye.x + 0.8f * std::cos(heading), eye.y + 0.8f * std::sin(heading), eye.z};
  ComputeViewWedge();
  RefineCabtt(Cameras[0].eye, secondPass);
}
