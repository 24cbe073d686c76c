#include "headless/peak_memory.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

bool ResetPeakMemory() {
  std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (file == nullptr) return false;
  const bool written = std::fputs("5", file) >= 0;
  return std::fclose(file) == 0 && written;
}

double PeakMemoryMiB() {
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long kibibytes = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::strncmp(line, "VmHWM:", 6) == 0 && std::sscanf(line + 6, "%ld", &kibibytes) == 1) break;
    }
    std::fclose(status);
    if (kibibytes >= 0) return kibibytes / 1024.0;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kibibytes on Linux
}
