// The benchmark times a method's refinement on its own and then its frame: the frame must find
// nothing more to refine for the same eye, or refinement would be counted as drawing.
#include <gtest/gtest.h>

#include "app/view/frame_view.h"
#include "support/random_flight.h"
#include "support/terrain_scene.h"

namespace {

void ExpectDrawRefinesNothingAfterRefine(TerrainScene& scene, DrawMethod& method) {
  scene.Use(&method);
  RandomFlight flight(scene.field(), 11);
  for (int frame = 0; frame < 150; ++frame) {
    const Point3 eye = flight.Next();
    scene.view().cameras[0].eye = eye;
    scene.view().cameras[0].centre = {eye.x + 0.8f, eye.y, eye.z};
    ASSERT_TRUE(method.Refine(MakeFrameView(scene.view())).ok());
    const MethodCounters refined = method.Counters();
    scene.DrawFrame();
    const MethodCounters drawn = method.Counters();
    ASSERT_EQ(drawn.splitTests, refined.splitTests) << "frame " << frame;
    ASSERT_EQ(drawn.mergeTests, refined.mergeTests) << "frame " << frame;
    ASSERT_EQ(drawn.splits, refined.splits) << "frame " << frame;
    ASSERT_EQ(drawn.merges, refined.merges) << "frame " << frame;
  }
  EXPECT_GT(method.Counters().splits, 0u) << "the flight refines";
  scene.Use(nullptr);
}

TEST(RefineThenDrawTest, AFrameAfterItsRefinementRefinesNothingMore) {
  TerrainScene scene(DEFAULT_TERRAIN, 160, 120);
  ExpectDrawRefinesNothingAfterRefine(scene, scene.roam());
  ExpectDrawRefinesNothingAfterRefine(scene, scene.cabtt());
}

}  // namespace
