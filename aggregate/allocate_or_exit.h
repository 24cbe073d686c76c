#pragma once
#include <cstddef>
#include <cstdio>
#include <new>

#include "app/fatal.h"

// Builder storage is sized once per level; running out of memory there is fatal.
template <typename T>
T* AllocateOrExit(std::size_t count, const char* what) {
  T* storage = new (std::nothrow) T[count];
  if (storage == nullptr) {
    std::printf("Out of memory for the %s (%zu entries)\n", what, count);
    FatalExit(2);
  }
  return storage;
}
