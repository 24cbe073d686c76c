#pragma once
#include "app/view/frame_view.h"

// The state change a drawing method makes between its first and second pass (wireframe modes 1
// and 2), or null for the one-pass modes.
using PassAction = void (*)();

// The GL state at the start of a frame, common to the drawing methods: the model-view matrix of
// the frame's camera, line smoothing off, line width 1, and the first pass's state of the
// wireframe mode:
//   0  textured, filled;
//   1  textured, filled, then a black grid over it (second pass: lines, untextured);
//   2  white, filled, then black lines over it: a hidden-line view;
//   3  black lines only.
// The lines of a second pass are pulled towards the eye by a polygon offset of -4 units, or the
// surface drawn first would hide them. Returns the second pass's action.
PassAction BeginFrameState(const FrameView& view);
