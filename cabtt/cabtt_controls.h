#pragma once
#include "app/frame_loop.h"

// GLUT keyboard handler while CABTT is current: '<' and '>' change the aggregation level, '/'
// switches between adaptive and uniform aggregation; every key then goes on to OnKey.
void CabttKeyHandler(unsigned char key, int x, int y);

// Per-frame refinement and aggregate figures into the Terrain log.
void PrintCabttStats();

// Zeroes CabttCounters.
void ResetCabttStats();

// The CABTT record of the draw-method table; cached selects the video-memory activation.
DrawMethod CabttDrawMethod(bool cached);
