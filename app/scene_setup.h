#pragma once

// Weight of the view-independent error metric that start-up computes.
constexpr float kTerrainErrorWeight = 600.0f;

// The window-free part of the terrain start-up, shared by the program, the headless benchmark
// and the tests: loads the height field at heightFieldPath, makes the terrain texture (the file
// at texturePath, or the generated slope shading when it is null) as texture object 1 and binds
// it, installs the height field with the vertical scale, then computes the error metric.
// announceMetric prints "Pre-computing error metric" on standard output first. Loader failures
// print their line and end the process. Returns the grid exponent n.
int PrepareTerrain(const char* heightFieldPath, const char* texturePath, float verticalScale,
                   bool announceMetric);

// Record indices of the draw-method table as start-up fills it.
constexpr int kRoamMethodIndex = 0;
constexpr int kCabttMethodIndex = 1;

// Fills the draw-method table as start-up does: Standard ROAM, then CABTT with the video-memory
// cache when the GL has both NV extensions (InitGLState must have run).
void InstallDrawMethods();

// Undoes PrepareTerrain and InstallDrawMethods: empties the draw-method table and the CABTT state,
// frees the builder, cache, error metric, height field and texture object 1, and puts the GL state
// back. The current method must already be deactivated.
void ReleaseTerrain();
