#pragma once

// Set-up and tear-down of the CABTT tree and the method's activations.

// Creates the two roots with their top triangles, files root 0's top triangle (it stands for
// the diamond of both) and initialises the GeometryCache with the block size of the level.
void BuildCabttRoots();

// Empties both queues, frees both trees (releasing their blocks), shuts the cache down and
// frees the roots. The deactivate operation; does nothing while no tree exists.
void DestroyCabtt();

// Tears the tree down and starts again for a new level (clamped to 0..n) or builder kind.
void RebuildCabtt(int level, bool adaptive);

// The common part of both activations: messages, clock, builder, tree.
void ActivateCabtt();

// Activations with a system-memory or a video-memory cache.
void ActivateCabttUncached();
void ActivateCabttCached();

// The level actually usable on the current height field: 0..n.
int ClampAggregationLevel(int level);

// Vertices of the largest block of a level, (2^L + 1)(2^L + 2) / 2, and whether 16-bit indices
// reach them all (up to level 8).
int LevelBlockVertices(int level);
bool LevelFitsIndexRange(int level);
