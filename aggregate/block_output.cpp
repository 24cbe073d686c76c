#include "aggregate/block_output.h"

CacheVertex* BlockVertexStart = nullptr;
CacheVertex* BlockVertexCursor = nullptr;
uint16_t* BlockIndexCursor = nullptr;
bool EmitVertices = false;

void ResetBlockOutput() {
  BlockVertexStart = nullptr;
  BlockVertexCursor = nullptr;
  BlockIndexCursor = nullptr;
  EmitVertices = false;
}
