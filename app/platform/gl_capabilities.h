#pragma once
#include "app/platform/log_sink.h"

// What the driver offers, found once after the window exists. The two NV extensions together
// select the video-memory geometry cache; texture compression selects how the terrain texture
// is uploaded; compiled vertex arrays are only reported.
struct GlCapabilities {
  bool compiledVertexArrays = false;
  bool vertexArrayRange = false;
  bool fences = false;
  bool textureCompression = false;

  bool VideoMemoryCache() const { return vertexArrayRange && fences; }
};

// Puts the GL into the fixed state every frame relies on (depth test, back-face culling, flat
// shading, texture replacing the colour, ...) and detects the extensions, logging "Locking not
// supported", "Array range supported" and "Fences supported" as they apply.
GlCapabilities InitGLState(LogSink& log);

// The detection part alone, from a given extension string.
GlCapabilities DetectCapabilities(const char* extensions, LogSink& log);

// Whole-token search of name in the GL_EXTENSIONS string of the current context.
bool HasExtension(const char* name);

// Whole-token search of name in an extension string: an occurrence counts only when it starts the
// string or follows a space, and ends it or is followed by a space. A name that is empty or
// contains a space is never found.
bool ExtensionListHas(const char* extensions, const char* name);
