#include "headless/flight_pose.h"

void PlaceCameraAt(ViewState& view, const FlightPose& pose) {
  view.flight.x = pose.x;
  view.flight.y = pose.y;
  view.flight.eyeHeight = pose.z;
  view.flight.heading = pose.heading;
  UpdateCameras(view);
}
