#pragma once

// The state a drawing method applies between its first and second pass (wireframe modes 1, 2).
using PassAction = void (*)();

// Mode 1: a black grid over the textured surface.
void SecondPassTexturedGrid();
// Mode 2: black lines over the white surface (hidden-line view).
void SecondPassHiddenLine();
