#pragma once
#include <string>

// Writes a 16-bit grey height-field PNG of side 2^n + 1 with rolling hills and fine ripples (so
// that every level of detail has something to resolve) and returns whether it was written.
bool WriteHillsTerrainPng(const std::string& path, int n);
