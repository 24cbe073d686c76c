#include "support/gl_pass_state.h"

PassState CurrentPassState() {
  PassState s{};
  s.texture = glIsEnabled(GL_TEXTURE_2D);
  GLint modes[2];
  glGetIntegerv(GL_POLYGON_MODE, modes);
  s.frontMode = modes[0];
  s.lineOffset = glIsEnabled(GL_POLYGON_OFFSET_LINE);
  glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
  glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &s.offsetFactor);
  glGetFloatv(GL_POLYGON_OFFSET_UNITS, &s.offsetUnits);
  s.lineSmooth = glIsEnabled(GL_LINE_SMOOTH);
  glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
  return s;
}
