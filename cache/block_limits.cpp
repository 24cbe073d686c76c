#include "cache/block_limits.h"

#include <cstdio>

#include "app/fatal.h"

void CheckBlockLimits(int blockVertices, int maxIndices) {
  if (blockVertices > kMaxBlockVertices) {
    std::printf("Block size greater than maximum index range\n");
    FatalExit(2);
  }
  if (blockVertices < 1 || maxIndices < 0) {
    std::printf("Block size out of range\n");
    FatalExit(2);
  }
}
