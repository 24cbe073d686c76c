#include "support/process_memory.h"

#include <malloc.h>

#include <cstdio>
#include <cstring>

namespace {

// A "Name:   1234 kB" line of /proc/self/status, in bytes.
std::size_t StatusKilobytes(const char* name) {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  const std::size_t nameLength = std::strlen(name);
  char line[256];
  std::size_t kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, name, nameLength) == 0 && line[nameLength] == ':') {
      std::sscanf(line + nameLength + 1, "%zu", &kilobytes);
      break;
    }
  }
  std::fclose(status);
  return kilobytes * 1024;
}

}  // namespace

std::size_t ResidentBytes() { return StatusKilobytes("VmRSS"); }

std::size_t PeakResidentBytes() { return StatusKilobytes("VmHWM"); }

std::size_t HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
