#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "app/gl_state.h"
#include "app/nv_platform.h"
#include "app/terrain_log.h"
#include "support/gl_context.h"
#include "support/terrain_log_capture.h"

namespace {

const char* extensionList = "";
const char* FakeExtensions() { return extensionList; }

class GLStateTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    CaptureTerrainLog();
    SetExtensionStringForTesting(FakeExtensions);
  }
  void TearDown() override {
    SetExtensionStringForTesting(nullptr);
    ResetGLState();
    CloseTerrainLog();
  }
};

TEST_F(GLStateTest, RangeWithoutFencesLogsOnlyTheRangeLine) {
  extensionList = "GL_EXT_compiled_vertex_array GL_NV_vertex_array_range";
  InitGLState();
  EXPECT_EQ(ReadTerrainLog(), "Array range supported\n");
  EXPECT_TRUE(VertexArrayRangeSupported);
  EXPECT_FALSE(FencesSupported);
}

TEST_F(GLStateTest, BothNvExtensionsAndNoLocking) {
  extensionList = "GL_NV_fence GL_NV_vertex_array_range GL_ARB_texture_compression";
  InitGLState();
  EXPECT_EQ(ReadTerrainLog(), "Locking not supported\nArray range supported\nFences supported\n");
  EXPECT_TRUE(VertexArrayRangeSupported && FencesSupported && TextureCompressionSupported);
  EXPECT_NE(ActiveNvPlatform, nullptr);
}

TEST_F(GLStateTest, FixedStateIsSet) {
  extensionList = "";
  InitGLState();
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
  GLint value = 0;
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LEQUAL);
  glGetIntegerv(GL_SHADE_MODEL, &value);
  EXPECT_EQ(value, GL_FLAT);
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
  EXPECT_EQ(value, GL_REPLACE);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
