#include "support/death_output.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/terrain_log.h"

void StdoutToStderr() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  if (TerrainLog != nullptr) TerrainLog = stderr;
}

std::string ExactOutput(const std::string& text) {
  std::string pattern = "^";
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c) != nullptr) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}
