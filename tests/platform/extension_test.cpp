#include <gtest/gtest.h>

#include "app/gl_state.h"

namespace {

int reads = 0;
const char* CountingSource() {
  ++reads;
  return "GL_NV_fence GL_NV_vertex_array_range2 GL_ARB_texture_compression";
}

TEST(ExtensionListTest, MatchesWholeTokensOnly) {
  const char* list = "GL_NV_fence_extra GL_NV_vertex_array_range GL_NV_fence";
  EXPECT_TRUE(ExtensionListHas(list, "GL_NV_fence"));
  EXPECT_TRUE(ExtensionListHas(list, "GL_NV_vertex_array_range"));
  EXPECT_FALSE(ExtensionListHas("GL_NV_fence_extra GL_X", "GL_NV_fence"));
  EXPECT_FALSE(ExtensionListHas("XGL_NV_fence", "GL_NV_fence"));
  EXPECT_FALSE(ExtensionListHas(list, ""));
  EXPECT_FALSE(ExtensionListHas(nullptr, "GL_NV_fence"));
  EXPECT_TRUE(ExtensionListHas("GL_A", "GL_A"));
}

TEST(ExtensionListTest, NameWithSpaceIsNeverFoundAndTheStringIsNotRead) {
  SetExtensionStringForTesting(CountingSource);
  reads = 0;
  EXPECT_FALSE(HasExtension("GL_NV_fence GL_NV_vertex_array_range2"));
  EXPECT_EQ(reads, 0);
  EXPECT_TRUE(HasExtension("GL_NV_fence"));
  EXPECT_FALSE(HasExtension("GL_NV_vertex_array_range"));
  EXPECT_EQ(reads, 2);
  SetExtensionStringForTesting(nullptr);
}

}  // namespace
