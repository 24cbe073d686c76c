#include "app/keys.h"

#include <GL/gl.h>

#include "app/camera.h"
#include "app/capture.h"
#include "app/frame_loop.h"
#include "app/terrain_log.h"
#include "app/window_system.h"

namespace {

void LogCullingLevel() { LogPrintf("Culling turned %s (level=%d)\n", CullingLevel != 0 ? "on" : "off", CullingLevel); }

// A field of view of 180 degrees or more turns the picture upside down and the view wedge inside
// out; one that shrinks to nothing leaves no projection. A press that would leave the range
// changes nothing.
void ZoomTo(float fieldOfView) {
  if (fieldOfView >= kNarrowestFieldOfView && fieldOfView < kWidestFieldOfView)
    Cameras[CurrentCamera].fieldOfView = fieldOfView;
  Reshape(WindowWidth, WindowHeight);
  Flight.moved = true;
}

void ToggleFullScreen() {
  Flight.moved = true;
  if (!FullScreen) {
    SavedWindowWidth = WindowWidth;
    SavedWindowHeight = WindowHeight;
    FullScreen = true;
    Window.fullScreen();
  } else {
    FullScreen = false;
    Window.reshapeWindow(SavedWindowWidth, SavedWindowHeight);
  }
}

}  // namespace

void OnKey(unsigned char key, int /*x*/, int /*y*/) {
  switch (key) {
    case 27:
    case 'Q':
    case 'q':
      Quit();
    case 'S':
    case 's': {
      const GLenum error = glGetError();
      if (error != GL_NO_ERROR) LogPrintf("0x%x error returned\n", error);
      PrintStats();
      ResetStats();
      break;
    }
    case '\'':
      // Doubling stops at 2^30: one more would overflow the int.
      if (SpeedUp < kMaxSpeedUp) {
        SpeedUp *= 2;
        LogPrintf("SpeedUp doubled to: %d\n", SpeedUp);
      }
      break;
    case ';':
      if (SpeedUp >= 2) {
        SpeedUp /= 2;
        LogPrintf("SpeedUp halved to: %d\n", SpeedUp);
      }
      break;
    case '+':
      ZoomTo(Cameras[CurrentCamera].fieldOfView * 0.95f);
      break;
    case '-':
      ZoomTo(static_cast<float>(Cameras[CurrentCamera].fieldOfView * 1.0526315789473684));
      break;
    case '1':
    case '2':
    case '3':
      CurrentCamera = key - '1';
      Reshape(WindowWidth, WindowHeight);
      Flight.moved = true;
      break;
    case 'A':
    case 'a':
      Flight.clearance += 0.005f;
      Flight.moved = true;
      break;
    case 'Z':
    case 'z':
      Flight.clearance -= 0.005f;
      Flight.moved = true;
      break;
    case 'c':
      CullingLevel = CullingLevel - 1 < 0 ? 30 : CullingLevel - 1;
      LogCullingLevel();
      Flight.moved = true;
      break;
    case 'C':
      CullingLevel = CullingLevel + 1 > 30 ? 0 : CullingLevel + 1;
      LogCullingLevel();
      Flight.moved = true;
      break;
    case 'D':
    case 'd':
      if (DrawMethodCount > 0) SetDrawMethod((CurrentDrawMethod + 1) % DrawMethodCount);
      Flight.moved = true;
      break;
    case 'F':
    case 'f':
      ToggleFullScreen();
      break;
    case 'P':
    case 'p':
      Paused = !Paused;
      break;
    case 'W':
    case 'w':
      WireframeMode = (WireframeMode + 1) % 4;
      Flight.moved = true;
      break;
    case '[':
      CaptureScreen();
      break;
    default:
      break;
  }
}
