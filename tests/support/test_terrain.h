#pragma once
#include <cstdint>
#include <functional>

#include "terrain/error_metric.h"
#include "terrain/height_field.h"
#include "terrain/terrain.h"

// Generated height fields and stand-in error metrics for tests and benchmarks, as values.

// A fractal (diamond-square) height field of side 2^n + 1 from seed, stretched over the whole
// sample range; roughness in (0, 1] is the factor by which the displacement shrinks per halving
// of the step.
HeightField RoughField(int n, uint32_t seed, float verticalScale = 0.1f, float roughness = 0.55f);

// A height field of side 2^n + 1 whose sample at grid point (x, y) is sample(x, y), called row
// after row.
HeightField FieldFrom(int n, float verticalScale, const std::function<HeightSample(int x, int y)>& sample);

// Independent random samples; all samples equal to value.
HeightField NoiseField(int n, uint32_t seed, float verticalScale = 0.1f);
HeightField FlatField(int n, HeightSample value = 0, float verticalScale = 0.1f);

// A metric of the field's layout with every value 0; with independent random values in
// [0, maxValue) at every vertex but the four grid corners, which split no triangle.
ErrorMetric ZeroMetric(const HeightField& field);
ErrorMetric RandomMetric(const HeightField& field, uint32_t seed, float maxValue);

// The field with its real metric (weight 600), as start-up makes it.
Terrain TerrainOf(HeightField field);
// A rough terrain of side 2^n + 1 with its real metric.
Terrain RoughTerrain(int n, uint32_t seed, float verticalScale = 0.1f, float roughness = 0.55f);
