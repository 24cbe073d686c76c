#include "headless/flight_pose.h"

#include "app/camera.h"

void PlaceCameraAt(const FlightPose& pose) {
  Flight.x = pose.x;
  Flight.y = pose.y;
  Flight.eyeHeight = pose.z;
  Flight.heading = pose.heading;
  UpdateCameras();
}
