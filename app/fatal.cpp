#include "app/fatal.h"

#include <cstdio>
#include <cstdlib>

#include "app/terrain_log.h"

void FatalExit(int status) {
  FlushTerrainLog();
  std::fflush(stdout);
  std::exit(status);
}
