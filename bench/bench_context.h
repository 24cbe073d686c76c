#pragma once
#include "app/platform/failure.h"

// The one offscreen GL context of the benchmark process, made current with a width x height
// pbuffer (created on first use, kept to the end).
Status MakeBenchContextCurrent(int width, int height);
