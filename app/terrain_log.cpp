#include "app/terrain_log.h"

#include <cstdarg>

FILE* TerrainLog = nullptr;

void LogPrintf(const char* format, ...) {
  if (TerrainLog == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(TerrainLog, format, args);
  va_end(args);
  // Lines are rare (keys, method changes, statistics); flushing each lets a reader follow the log.
  std::fflush(TerrainLog);
}

void LogAndPrint(const char* format, ...) {
  va_list args;
  if (TerrainLog != nullptr) {
    va_start(args, format);
    std::vfprintf(TerrainLog, format, args);
    va_end(args);
    std::fflush(TerrainLog);
  }
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void FlushTerrainLog() {
  if (TerrainLog != nullptr) std::fflush(TerrainLog);
}

void CloseTerrainLog() {
  if (TerrainLog != nullptr) std::fclose(TerrainLog);
  TerrainLog = nullptr;
}
