#pragma once
#include <cstdint>
#include <vector>

// The colour buffer of the current context as tightly packed RGB, bottom row first.
std::vector<uint8_t> ReadFrameRgb(int width, int height);
