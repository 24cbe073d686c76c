#include "app/input.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include "app/capture.h"
#include "app/frame_loop.h"
#include "app/view/frame_view.h"

namespace {

void LogCullingLevel(Shell& shell) {
  const int level = shell.view.cullingLevel;
  shell.log.Logf("Culling turned %s (level=%d)\n", level != 0 ? "on" : "off", level);
}

// A field of view of 180 degrees or more turns the picture upside down and the view wedge inside
// out; one that shrinks to nothing leaves no projection. A press that would leave the range
// changes nothing.
void ZoomTo(Shell& shell, float fieldOfView) {
  ViewState& view = shell.view;
  if (fieldOfView >= kNarrowestFieldOfView && fieldOfView < kWidestFieldOfView)
    view.cameras[view.currentCamera].fieldOfView = fieldOfView;
  Reshape(shell, view.windowWidth, view.windowHeight);
}

void ToggleFullScreen(Shell& shell) {
  ViewState& view = shell.view;
  view.flight.moved = true;
  if (!view.fullScreen) {
    view.savedWindowWidth = view.windowWidth;
    view.savedWindowHeight = view.windowHeight;
    view.fullScreen = true;
    shell.window->FullScreen();
  } else {
    view.fullScreen = false;
    shell.window->ReshapeWindow(view.savedWindowWidth, view.savedWindowHeight);
  }
}

// The general keys; a key that changes the view asks for a redraw.
Status GeneralKey(Shell& shell, unsigned char key) {
  ViewState& view = shell.view;
  switch (key) {
    case 27:
    case 'Q':
    case 'q':
      return QuitRequest();
    case 'S':
    case 's': {
      const GLenum error = glGetError();
      if (error != GL_NO_ERROR) shell.log.Logf("0x%x error returned\n", error);
      PrintStats(shell);
      ResetStats(shell);
      break;
    }
    case '\'':
      // Doubling stops at 2^30: one more would overflow the int.
      if (view.speedUp < kMaxSpeedUp) {
        view.speedUp *= 2;
        shell.log.Logf("SpeedUp doubled to: %d\n", view.speedUp);
      }
      break;
    case ';':
      if (view.speedUp >= 2) {
        view.speedUp /= 2;
        shell.log.Logf("SpeedUp halved to: %d\n", view.speedUp);
      }
      break;
    case '+':
      ZoomTo(shell, view.Current().fieldOfView * 0.95f);
      break;
    case '-':
      ZoomTo(shell, static_cast<float>(view.Current().fieldOfView * 1.0526315789473684));
      break;
    case '1':
    case '2':
    case '3':
      view.currentCamera = key - '1';
      Reshape(shell, view.windowWidth, view.windowHeight);
      break;
    case 'A':
    case 'a':
      view.flight.clearance += 0.005f;
      view.flight.moved = true;
      break;
    case 'Z':
    case 'z':
      view.flight.clearance -= 0.005f;
      view.flight.moved = true;
      break;
    case 'c':
      view.cullingLevel = view.cullingLevel - 1 < 0 ? 30 : view.cullingLevel - 1;
      LogCullingLevel(shell);
      view.flight.moved = true;
      break;
    case 'C':
      view.cullingLevel = view.cullingLevel + 1 > 30 ? 0 : view.cullingLevel + 1;
      LogCullingLevel(shell);
      view.flight.moved = true;
      break;
    case 'D':
    case 'd': {
      view.flight.moved = true;
      const int count = static_cast<int>(shell.methods.size());
      if (count > 0) return SetDrawMethod(shell, (shell.current + 1) % count);
      break;
    }
    case 'F':
    case 'f':
      ToggleFullScreen(shell);
      break;
    case 'P':
    case 'p':
      view.paused = !view.paused;
      break;
    case 'W':
    case 'w':
      view.wireframeMode = (view.wireframeMode + 1) % 4;
      view.flight.moved = true;
      break;
    case '[':
      return CaptureScreen(shell);
    default:
      break;
  }
  return {};
}

}  // namespace

Status OnKey(Shell& shell, unsigned char key) {
  const int current = shell.current;
  if (current >= 0 && current < static_cast<int>(shell.methods.size())) {
    Result<bool> changed = shell.methods[current]->HandleKey(key, MakeFrameView(shell.view));
    if (!changed.ok()) return changed.failure();
    // The picture changed although the camera did not: ask for a redraw.
    if (changed.value()) shell.view.flight.moved = true;
  }
  return GeneralKey(shell, key);
}

void Reshape(Shell& shell, int width, int height) {
  ViewState& view = shell.view;
  view.windowWidth = width;
  view.windowHeight = height;
  ApplyProjection(view);
  view.flight.moved = true;
}

void OnMouseButton(Shell& shell, int button, int state, int x, int y) {
  PointerState& pointer = shell.view.pointer;
  if (button == GLUT_LEFT_BUTTON) pointer.leftDown = state == GLUT_DOWN;
  OnMouseMove(shell, x, y);
}

void OnMouseMove(Shell& shell, int x, int y) {
  PointerState& pointer = shell.view.pointer;
  pointer.x = static_cast<double>(x) / shell.view.windowWidth;
  pointer.y = static_cast<double>(y) / shell.view.windowHeight;
}
