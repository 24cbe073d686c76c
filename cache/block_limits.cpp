#include "cache/block_limits.h"

Status CheckBlockLimits(int blockVertices, int maxIndices) {
  if (blockVertices > kMaxBlockVertices) return Failure{"Block size greater than maximum index range\n", Channel::kConsole, 2};
  if (blockVertices < 1 || maxIndices < 0) return Failure{"Block size out of range\n", Channel::kConsole, 2};
  return {};
}
