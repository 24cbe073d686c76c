// What both caches put on the screen: blocks drawn at EndBlock and again by DrawBlock, with
// texture coordinates read from each vertex's own x and y.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "support/cache_test_fixture.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kTexels = 4;
using Rgba = std::array<GLubyte, 4>;

constexpr Rgba kClear = {0, 0, 0, 255};

Rgba TexelColour(int s, int t) {
  return {static_cast<GLubyte>(40 + 60 * s), static_cast<GLubyte>(40 + 60 * t), static_cast<GLubyte>(255 - 30 * (s + t)),
          255};
}

Rgba PixelAt(int x, int y) {
  Rgba pixel{};
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
  return pixel;
}

// The centre of texel (s, t) of the 4 x 4 texture, in window pixels, for a block whose
// positions (and so texture coordinates) span the unit square over the whole viewport.
int TexelCentreX(int s) { return (2 * s + 1) * kWidth / (2 * kTexels); }
int TexelCentreY(int t) { return (2 * t + 1) * kHeight / (2 * kTexels); }

template <typename Cache>
class CacheDrawingTest : public CacheGLTest {
 protected:
  void SetUp() override {
    CacheGLTest::SetUp();
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    GLubyte texels[kTexels * kTexels * 4];
    for (int t = 0; t < kTexels; ++t)
      for (int s = 0; s < kTexels; ++s) {
        const Rgba colour = TexelColour(s, t);
        for (int c = 0; c < 4; ++c) texels[(t * kTexels + s) * 4 + c] = colour[c];
      }
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kTexels, kTexels, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT);

    cache.Init(1024, 3066);
  }

  void TearDown() override {
    cache.Shutdown();
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    CacheGLTest::TearDown();
  }

  // Two triangles over [x0, x1] x [0, 1]. Two unused vertices come first, so the indices
  // must count from the block's first vertex and the texture coordinates from its base.
  BlockHandle Rectangle(float x0, float x1, int indexCount = 6) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    vertices[0] = {0.9f, 0.9f, 0.9f};
    vertices[1] = {0.1f, 0.1f, 0.1f};
    vertices[2] = {x0, 0.0f, 0.25f};
    vertices[3] = {x1, 0.0f, 0.25f};
    vertices[4] = {x1, 1.0f, 0.25f};
    vertices[5] = {x0, 1.0f, 0.25f};
    const uint16_t quad[6] = {2, 3, 4, 2, 4, 5};
    for (int i = 0; i < 6; ++i) indices[i] = quad[i];
    return cache.EndBlock(6, indexCount);
  }

  // Every texel centre in columns [firstColumn, lastColumn] shows its own texel; the others
  // show the clear colour.
  void ExpectTexturedColumns(int firstColumn, int lastColumn) {
    for (int t = 0; t < kTexels; ++t)
      for (int s = 0; s < kTexels; ++s) {
        const bool covered = s >= firstColumn && s <= lastColumn;
        EXPECT_EQ(PixelAt(TexelCentreX(s), TexelCentreY(t)), covered ? TexelColour(s, t) : kClear)
            << "texel " << s << ", " << t;
      }
  }

  Cache cache;
  GLuint texture = 0;
};

using CacheKinds = ::testing::Types<SystemMemoryCache, VideoMemoryCache>;
TYPED_TEST_SUITE(CacheDrawingTest, CacheKinds);

TYPED_TEST(CacheDrawingTest, EndBlockAndDrawBlockPaintTheTextureAtEachVertexXY) {
  const BlockHandle block = this->Rectangle(0.0f, 1.0f);
  this->ExpectTexturedColumns(0, kTexels - 1);
  glClear(GL_COLOR_BUFFER_BIT);
  this->cache.DrawBlock(block);
  this->ExpectTexturedColumns(0, kTexels - 1);
  this->cache.ReleaseBlock(block);
}

TYPED_TEST(CacheDrawingTest, DrawBlockRedrawsItsOwnBlockNotTheLastOneWritten) {
  const BlockHandle left = this->Rectangle(0.0f, 0.5f);
  const BlockHandle right = this->Rectangle(0.5f, 1.0f);
  EXPECT_NE(left, right);
  glClear(GL_COLOR_BUFFER_BIT);
  this->cache.DrawBlock(left);
  this->ExpectTexturedColumns(0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  this->cache.DrawBlock(right);
  this->ExpectTexturedColumns(2, 3);
  this->cache.ReleaseBlock(left);
  this->cache.ReleaseBlock(right);
}

TYPED_TEST(CacheDrawingTest, EmptyBlockDrawsNothingButIsAValidHandle) {
  const BlockHandle empty = this->Rectangle(0.0f, 1.0f, 0);
  EXPECT_NE(empty, kNoBlock);
  this->ExpectTexturedColumns(kTexels, kTexels);  // nothing covered
  this->cache.DrawBlock(empty);
  this->ExpectTexturedColumns(kTexels, kTexels);
  this->cache.ReleaseBlock(empty);
}

}  // namespace
