#pragma once
#include <GL/gl.h>

#include <array>

// The GL state that decides how a drawing pass looks, read back from the current context.
struct PassState {
  bool texture;
  GLint frontMode;  // polygon mode of front faces
  bool lineOffset;
  std::array<GLfloat, 4> colour;
  GLfloat offsetFactor;
  GLfloat offsetUnits;
  bool lineSmooth;
  GLfloat lineWidth;
};

PassState CurrentPassState();
