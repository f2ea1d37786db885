#include "platform/memory.h"

#include <cstdio>
#include <cstring>

namespace velkaro {

uint64_t AvailableMemoryBytes() {
  std::FILE* file = std::fopen("/proc/meminfo", "re");
  if (file == nullptr) return 0;
  char line[128];
  unsigned long long kib = 0;
  bool found = false;
  while (!found && std::fgets(line, sizeof line, file) != nullptr)
    found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
  std::fclose(file);
  return found ? uint64_t{kib} * 1024 : 0;
}

}  // namespace velkaro
