#pragma once
#include <GL/gl.h>

#include "cache/geometry_cache.h"

// Points the client vertex and texture-coordinate arrays at a block's vertices. The texture
// coordinates are not stored: they are each vertex's own x and y, read with a 12-byte stride.
inline void PointClientArraysAt(const CacheVertex* vertices) {
  glVertexPointer(3, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, sizeof(CacheVertex), vertices);
}
