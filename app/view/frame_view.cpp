#include "app/view/frame_view.h"

FrameView MakeFrameView(const ViewState& view) {
  return {view.cameras[0].eye, view.Current(), ComputeViewWedge(view.cameras[0], view.windowWidth, view.windowHeight),
          view.cullingLevel, view.wireframeMode};
}
