// Extension detection and the fixed GL state every frame relies on.
#include "app/platform/gl_capabilities.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/gl_context.h"

namespace {

TEST(ExtensionListTest, MatchesWholeTokensOnly) {
  const char* list = "GL_NV_fence_extra GL_NV_vertex_array_range GL_NV_fence";
  EXPECT_TRUE(ExtensionListHas(list, "GL_NV_fence"));  // after a longer name that starts with it
  EXPECT_TRUE(ExtensionListHas(list, "GL_NV_vertex_array_range"));
  EXPECT_TRUE(ExtensionListHas("GL_A", "GL_A"));
  EXPECT_FALSE(ExtensionListHas("GL_NV_fence_extra GL_X", "GL_NV_fence"));
  EXPECT_FALSE(ExtensionListHas("XGL_NV_fence", "GL_NV_fence"));
  EXPECT_FALSE(ExtensionListHas(list, "GL_NV"));
  EXPECT_FALSE(ExtensionListHas(list, ""));
  EXPECT_FALSE(ExtensionListHas(list, nullptr));
  EXPECT_FALSE(ExtensionListHas(nullptr, "GL_NV_fence"));
  // Two whole tokens are still not one name.
  EXPECT_FALSE(ExtensionListHas(list, "GL_NV_vertex_array_range GL_NV_fence"));
}

TEST(DetectCapabilitiesTest, EachExtensionSelectsItsCapabilityAndLogsItsLine) {
  BufferLogSink log;
  GlCapabilities found = DetectCapabilities("GL_EXT_compiled_vertex_array GL_NV_vertex_array_range", log);
  EXPECT_EQ(log.log, "Array range supported\n");
  EXPECT_TRUE(found.compiledVertexArrays);
  EXPECT_TRUE(found.vertexArrayRange);
  EXPECT_FALSE(found.fences);
  EXPECT_FALSE(found.VideoMemoryCache());  // the range alone is not enough

  log.log.clear();
  found = DetectCapabilities("GL_NV_fence GL_NV_vertex_array_range GL_ARB_texture_compression", log);
  EXPECT_EQ(log.log, "Locking not supported\nArray range supported\nFences supported\n");
  EXPECT_TRUE(found.VideoMemoryCache());
  EXPECT_TRUE(found.textureCompression);
  EXPECT_FALSE(found.compiledVertexArrays);

  log.log.clear();
  found = DetectCapabilities(nullptr, log);
  EXPECT_EQ(log.log, "Locking not supported\n");
  EXPECT_FALSE(found.vertexArrayRange || found.fences || found.textureCompression);
  EXPECT_TRUE(log.console.empty() && log.error.empty());
}

class GlCapabilitiesTest : public GLTest {};

// The driver's own list: every token is found, no part of one or pair of them is.
TEST_F(GlCapabilitiesTest, HasExtensionAgreesWithTheDriversList) {
  const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  ASSERT_NE(extensions, nullptr);
  std::vector<std::string> tokens;
  std::istringstream words(extensions);
  for (std::string word; words >> word;) tokens.push_back(word);
  ASSERT_GE(tokens.size(), 2u);
  for (const std::string& token : tokens) {
    EXPECT_TRUE(HasExtension(token.c_str())) << token;
    const std::string prefix = token.substr(0, token.size() - 1);
    if (!ExtensionListHas(extensions, prefix.c_str())) {
      EXPECT_FALSE(HasExtension(prefix.c_str())) << prefix;
    }
  }
  EXPECT_FALSE(HasExtension((tokens[0] + " " + tokens[1]).c_str()));
  EXPECT_FALSE(HasExtension(""));
}

TEST_F(GlCapabilitiesTest, InitSetsTheFixedStateAndDetectsTheDriversExtensions) {
  BufferLogSink log;
  const GlCapabilities found = InitGLState(log);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  GLint value = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LEQUAL);
  glGetIntegerv(GL_CULL_FACE_MODE, &value);
  EXPECT_EQ(value, GL_BACK);
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_FLAT);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_REPLACE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  BufferLogSink again;
  const GlCapabilities expected = DetectCapabilities(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), again);
  EXPECT_EQ(log.log, again.log);
  EXPECT_EQ(found.compiledVertexArrays, expected.compiledVertexArrays);
  EXPECT_EQ(found.vertexArrayRange, expected.vertexArrayRange);
  EXPECT_EQ(found.fences, expected.fences);
  EXPECT_EQ(found.textureCompression, HasExtension("GL_ARB_texture_compression"));
  // Mesa's llvmpipe is GL 4.5 in the compatibility profile.
  EXPECT_TRUE(found.BufferStorageCache()) << glGetString(GL_VERSION);
}

// GL 4.4 has everything; before it, each feature by name unless the version made it core.
TEST(OffersBufferStorageTest, GlFourFourOrEveryFeatureByExtensionOrByCoreVersion) {
  const char* coreIn32 = "GL_ARB_buffer_storage GL_ARB_sync GL_ARB_draw_elements_base_vertex";
  EXPECT_TRUE(OffersBufferStorage("4.4.0 NVIDIA 1.2", nullptr));
  EXPECT_TRUE(OffersBufferStorage("10.0", ""));
  EXPECT_FALSE(OffersBufferStorage("4.3 (Core Profile)", "GL_ARB_sync"));
  EXPECT_TRUE(OffersBufferStorage("3.2", "GL_ARB_buffer_storage"));
  EXPECT_FALSE(OffersBufferStorage("3.1", "GL_ARB_buffer_storage"));
  EXPECT_TRUE(OffersBufferStorage("3.0", coreIn32));
  EXPECT_FALSE(OffersBufferStorage("2.1", coreIn32));  // no mapped ranges
  EXPECT_TRUE(OffersBufferStorage(nullptr, (std::string(coreIn32) + " GL_ARB_map_buffer_range").c_str()));
  EXPECT_FALSE(OffersBufferStorage("OpenGL ES 3.2 Mesa", coreIn32));
}

}  // namespace
