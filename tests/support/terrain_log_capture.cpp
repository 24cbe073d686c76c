#include "support/terrain_log_capture.h"

#include <cstdio>

#include "app/terrain_log.h"

void CaptureTerrainLog() {
  CloseTerrainLog();
  TerrainLog = std::tmpfile();
}

std::string ReadTerrainLog() {
  std::string text;
  if (TerrainLog == nullptr) return text;
  std::fflush(TerrainLog);
  std::rewind(TerrainLog);
  char buffer[512];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, TerrainLog)) > 0) text.append(buffer, count);
  std::fseek(TerrainLog, 0, SEEK_END);
  return text;
}
