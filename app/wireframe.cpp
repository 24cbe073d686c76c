#include "app/wireframe.h"

#include <GL/gl.h>

void SecondPassTexturedGrid() {
  glDisable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT, GL_LINE);
}

void SecondPassHiddenLine() {
  glPolygonMode(GL_FRONT, GL_LINE);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
}
