#pragma once
#include "app/frame_loop.h"
#include "terrain/point3.h"

// The Standard ROAM drawing method: operations of its DrawMethod record.
void ActivateRoam();
void DrawRoam();
void DeactivateRoam();
void PrintRoamStats();
void ResetRoamStats();

// Record 0 of the draw-method table. The keyboard handler is left null: the shell installs
// the general handler OnKey.
DrawMethod StandardRoamMethod();

// The tree part of activation and deactivation, without the log line and the cache:
// travel clock from eye, pool, queues, roots; and everything given back again.
void StartRoamTree(Point3 eye);
void StopRoamTree();
