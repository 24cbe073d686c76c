#include "headless/bench_scene.h"

#include <utility>

Result<std::unique_ptr<BenchScene>> PrepareBenchScene(const std::string& terrain, const std::string& texture,
                                                      float verticalScale, int width, int height, LogSink& console) {
  NullLogSink quiet;
  const GlCapabilities gl = InitGLState(quiet);
  const TerrainFiles files{terrain.c_str(), texture.empty() ? nullptr : texture.c_str(), verticalScale};
  Result<Terrain> prepared = PrepareTerrain(files, gl.textureCompression, console, false);
  if (!prepared.ok()) return prepared.failure();
  auto scene = std::unique_ptr<BenchScene>(
      new BenchScene{gl, nullptr, std::move(prepared.value()), StartViewState(verticalScale)});
  if (gl.vertexArrayRange || gl.fences) scene->nv = CreateDriverNvPlatform(gl.vertexArrayRange, gl.fences);
  scene->view.windowWidth = width;
  scene->view.windowHeight = height;
  ApplyProjection(scene->view);
  return scene;
}
