#include "app/gl_state.h"

#include <GL/gl.h>

#include <cstring>

#include "app/nv_platform.h"
#include "app/terrain_log.h"

bool CompiledVertexArraySupported = false;
bool VertexArrayRangeSupported = false;
bool FencesSupported = false;
bool TextureCompressionSupported = false;

namespace {

const char* GLExtensionString() { return reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)); }

ExtensionStringSource extensionSource = GLExtensionString;
NvPlatform* driverNvPlatform = nullptr;

}  // namespace

void SetExtensionStringForTesting(ExtensionStringSource source) {
  extensionSource = source ? source : GLExtensionString;
}

bool ExtensionListHas(const char* extensions, const char* name) {
  if (name == nullptr || *name == '\0' || std::strchr(name, ' ') != nullptr) return false;
  if (extensions == nullptr) return false;
  const size_t length = std::strlen(name);
  const char* start = extensions;
  for (;;) {
    const char* found = std::strstr(start, name);
    if (found == nullptr) return false;
    const char* end = found + length;
    if ((found == extensions || found[-1] == ' ') && (*end == ' ' || *end == '\0')) return true;
    start = end;
  }
}

bool HasExtension(const char* name) {
  // A name with a space can never be a token: answer without reading the string.
  if (name == nullptr || *name == '\0' || std::strchr(name, ' ') != nullptr) return false;
  return ExtensionListHas(extensionSource(), name);
}

void InitGLState() {
  glDisable(GL_POLYGON_OFFSET_FILL);
  glEnable(GL_TEXTURE_2D);
  glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
  glClearDepth(1.0);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glDisable(GL_LIGHTING);
  glDisable(GL_COLOR_MATERIAL);
  glShadeModel(GL_FLAT);
  glDisable(GL_POLYGON_SMOOTH);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glDisable(GL_POLYGON_STIPPLE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glDisable(GL_FOG);

  CompiledVertexArraySupported = HasExtension("GL_EXT_compiled_vertex_array");
  if (!CompiledVertexArraySupported) LogPrintf("Locking not supported\n");
  VertexArrayRangeSupported = HasExtension("GL_NV_vertex_array_range");
  if (VertexArrayRangeSupported) LogPrintf("Array range supported\n");
  FencesSupported = HasExtension("GL_NV_fence");
  if (FencesSupported) LogPrintf("Fences supported\n");
  TextureCompressionSupported = HasExtension("GL_ARB_texture_compression");

  if (VertexArrayRangeSupported || FencesSupported) {
    delete driverNvPlatform;
    driverNvPlatform = CreateDriverNvPlatform(VertexArrayRangeSupported, FencesSupported);
    ActiveNvPlatform = driverNvPlatform;
  }
}

void ResetGLState() {
  CompiledVertexArraySupported = false;
  VertexArrayRangeSupported = false;
  FencesSupported = false;
  TextureCompressionSupported = false;
  if (ActiveNvPlatform == driverNvPlatform) ActiveNvPlatform = nullptr;
  delete driverNvPlatform;
  driverNvPlatform = nullptr;
}
