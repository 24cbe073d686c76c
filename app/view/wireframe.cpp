#include "app/view/wireframe.h"

#include <GL/gl.h>

namespace {

// Mode 1: a black grid over the textured surface.
void SecondPassTexturedGrid() {
  glDisable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT, GL_LINE);
}

// Mode 2: black lines over the white surface.
void SecondPassHiddenLine() {
  glPolygonMode(GL_FRONT, GL_LINE);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace

PassAction BeginFrameState(const FrameView& view) {
  LoadModelView(view.camera);
  glDisable(GL_LINE_SMOOTH);
  glLineWidth(1.0f);
  glPolygonOffset(-1.0f, 0.0f);
  switch (view.wireframeMode) {
    case 1:
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      return SecondPassTexturedGrid;
    case 2:
      glDisable(GL_TEXTURE_2D);
      glEnable(GL_POLYGON_OFFSET_LINE);
      glPolygonOffset(0.0f, -4.0f);
      glPolygonMode(GL_FRONT, GL_FILL);
      glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
      return SecondPassHiddenLine;
    case 3:
      glDisable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_LINE);
      glDisable(GL_POLYGON_OFFSET_LINE);
      glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
      return nullptr;
    default:
      glEnable(GL_TEXTURE_2D);
      glPolygonMode(GL_FRONT, GL_FILL);
      glDisable(GL_POLYGON_OFFSET_LINE);
      return nullptr;
  }
}
