#pragma once
#include <cstddef>

// Heap storage of the geometry caches (block buffers, index buffers, block records). A refused
// allocation prints "Out of memory for a cache block\n" and ends the program with status 2:
// there is no recovery, and writing through a null buffer must never happen.
void* AllocateCacheStorage(size_t bytes);
void FreeCacheStorage(void* storage);

// Number of allocations made here and not yet freed (lets tests see that a cache gave
// everything back).
long CacheStorageInUse();

// Replaces the allocator underneath (tests); it must hand out memory that free() accepts.
// nullptr restores malloc.
using CacheAllocator = void* (*)(size_t bytes);
void SetCacheAllocatorForTesting(CacheAllocator allocator);
