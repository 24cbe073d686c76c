#pragma once
#include "terrain/height_field.h"

// Installs a height field of side 2^n + 1 whose samples all equal value.
void InstallFlatHeightField(int n, HeightSample value, float verticalScale = 0.1f);
