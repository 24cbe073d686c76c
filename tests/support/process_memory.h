#pragma once
#include <cstddef>

constexpr double kBytesPerMiB = 1024.0 * 1024.0;

// Resident set now (VmRSS of /proc/self/status); 0 when unreadable.
std::size_t ResidentBytes();

// Highest resident set so far (VmHWM); 0 when unreadable.
std::size_t PeakResidentBytes();

// Bytes the C heap has handed out and not taken back, all arenas (mallinfo2). Unlike the
// resident set it does not move with fragmentation or with what the allocator keeps cached, so
// it shows small leaks.
std::size_t HeapBytesInUse();
