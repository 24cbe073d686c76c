#pragma once
#include <vector>

#include "terrain/height_field.h"
#include "terrain/terrain.h"

// Terrains the micro benchmarks make in the process, without files or GL.

// The default terrain's samples (side 1025, seed 1: what def_hf.png holds), generated once.
const std::vector<HeightSample>& DefaultTerrainSamples();

// A height field over a copy of samples of side 2^n + 1.
HeightField FieldOf(const std::vector<HeightSample>& samples, int n, float verticalScale = 0.1f);

// The default terrain at the vertical scale 0.1 with the metric start-up computes, made once.
const Terrain& DefaultTerrain();

// The samples of side `side` magnified `factor` times with bilinear steps: the cost of the metric
// and of the error grid does not depend on the heights, only on the side, so a large field need
// not be generated at full cost.
std::vector<HeightSample> Magnify(const std::vector<HeightSample>& samples, int side, int factor);

// The default terrain magnified `factor` times (a power of two: side 1024 x factor + 1) with its
// metric, made once per factor.
const Terrain& MagnifiedTerrain(int factor);
