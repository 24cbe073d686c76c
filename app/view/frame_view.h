#pragma once
#include "app/view/camera.h"
#include "app/view/view_wedge.h"
#include "terrain/point3.h"

// What a drawing method needs to know about the view of one frame. Refinement and culling follow
// the flown camera (camera 0) whichever camera the picture is drawn from.
struct FrameView {
  Point3 eye;         // camera 0's eye
  CameraView camera;  // the camera the picture is drawn from
  ViewWedge wedge;    // camera 0's wedge for the window's size
  int cullingLevel;   // 0..30
  int wireframeMode;  // 0..3
};

// The frame view of the view state as it stands.
FrameView MakeFrameView(const ViewState& view);
