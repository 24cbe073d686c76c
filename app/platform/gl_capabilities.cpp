#include "app/platform/gl_capabilities.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

namespace {

bool IsTokenName(const char* name) { return name != nullptr && *name != '\0' && std::strchr(name, ' ') == nullptr; }

// Major * 10 + minor of a GL_VERSION string, 0 when it does not start with "major.minor".
int VersionNumber(const char* version) {
  int major = 0, minor = 0;
  if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2 || major < 0 || minor < 0 || minor > 9)
    return 0;
  return 10 * major + minor;
}

}  // namespace

bool ExtensionListHas(const char* extensions, const char* name) {
  if (!IsTokenName(name) || extensions == nullptr) return false;
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
  if (!IsTokenName(name)) return false;
  return ExtensionListHas(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name);
}

GlCapabilities DetectCapabilities(const char* extensions, LogSink& log) {
  GlCapabilities capabilities;
  capabilities.compiledVertexArrays = ExtensionListHas(extensions, "GL_EXT_compiled_vertex_array");
  if (!capabilities.compiledVertexArrays) log.Logf("Locking not supported\n");
  capabilities.vertexArrayRange = ExtensionListHas(extensions, "GL_NV_vertex_array_range");
  if (capabilities.vertexArrayRange) log.Logf("Array range supported\n");
  capabilities.fences = ExtensionListHas(extensions, "GL_NV_fence");
  if (capabilities.fences) log.Logf("Fences supported\n");
  capabilities.textureCompression = ExtensionListHas(extensions, "GL_ARB_texture_compression");
  return capabilities;
}

bool OffersBufferStorage(const char* version, const char* extensions) {
  const int number = VersionNumber(version);
  if (number >= 44) return true;
  const struct {
    const char* name;
    int coreSince;
  } needed[] = {{"GL_ARB_buffer_storage", 44},
                {"GL_ARB_map_buffer_range", 30},
                {"GL_ARB_sync", 32},
                {"GL_ARB_draw_elements_base_vertex", 32}};
  for (const auto& feature : needed)
    if (number < feature.coreSince && !ExtensionListHas(extensions, feature.name)) return false;
  return true;
}

GlCapabilities InitGLState(LogSink& log) {
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
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  GlCapabilities capabilities = DetectCapabilities(extensions, log);
  capabilities.bufferStorage =
      OffersBufferStorage(reinterpret_cast<const char*>(glGetString(GL_VERSION)), extensions);
  return capabilities;
}
