#pragma once
#include <string>

// Points the Terrain log at a fresh temporary file.
void CaptureTerrainLog();

// Everything written to the Terrain log so far; writing goes on at the end.
std::string ReadTerrainLog();
