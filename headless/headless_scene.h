#pragma once
#include <string>

// The program's world without a window, in the current offscreen context: the headless window
// layer, the fixed GL state, the terrain as start-up prepares it (texture object 1 bound), the
// start-up's draw-method table plus the brute-force reference as record kBruteForceMethodIndex,
// camera 0 selected and its projection set for width x height. The terrain loaders' messages
// (and failures) go to standard error, so standard output stays for the table.
// texture empty: the generated slope shading.
void PrepareHeadlessScene(const std::string& terrain, const std::string& texture, float verticalScale, int width,
                          int height);

// Deactivates the current method and frees the terrain, texture, methods and caches, and puts
// the GLUT window layer back (tests).
void TearDownHeadlessScene();

// Makes a record of the draw-method table current (activating it, -1 deactivates) with the
// methods' console messages sent to /dev/null.
void SetDrawMethodQuietly(int index);
