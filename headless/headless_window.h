#pragma once

// The window layer without a window: nothing to swap (the benchmark ends each frame with
// glFinish), no keyboard, no redisplay requests, a fixed size.
void UseHeadlessWindowSystem();
