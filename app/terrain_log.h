#pragma once
#include <cstdio>

// The Terrain log "output.txt": status and statistics lines, appended across runs.
extern FILE* TerrainLog;

// printf into the Terrain log; does nothing while no log is open (tests, tools).
void LogPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// printf into the Terrain log and then the same text to standard output.
void LogAndPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

void FlushTerrainLog();
void CloseTerrainLog();
