#pragma once
#include <string>

// Writes to path a height-field PNG of side 2^n + 1 that keeps every k-th sample of the height
// field at source (side 2^m + 1, k = 2^(m - n)): the same landscape with fewer triangles to draw.
// False when the file cannot be written or n is not below m.
bool WriteCoarseTerrain(const char* source, int n, const std::string& path);
