#pragma once
#include "app/platform/failure.h"
#include "app/platform/log_sink.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// Weight of the view-independent error metric that start-up computes.
constexpr float kTerrainErrorWeight = 600.0f;

// The terrain every drawing method draws: the height field and its error metric.
struct Terrain {
  HeightField field;
  ErrorMetric metric;
};

// Where a terrain comes from: the height-field file, the texture file (null: the generated slope
// shading) and the vertical scale.
struct TerrainFiles {
  const char* heightField;
  const char* texture;
  float verticalScale;
};

// The terrain part of start-up, in the current GL context: loads the height field, makes the
// texture (loaded or generated) and uploads it as texture object 1 (compressed when the GL has
// texture compression) and binds it, builds the height field, then computes the error metric
// with kTerrainErrorWeight, after "Pre-computing error metric\n" on the console when announced.
// The loaders' failures come back with their lines.
Result<Terrain> PrepareTerrain(const TerrainFiles& files, bool compressedTexture, LogSink& console,
                               bool announceMetric);
