#pragma once

#include <cstdint>

namespace velkaro {

// The memory the system can give a program now without swapping, in bytes:
// the kernel's own estimate (MemAvailable in /proc/meminfo). 0 when it
// cannot be read: then nothing is known, and nothing should be refused for it.
uint64_t AvailableMemoryBytes();

}  // namespace velkaro
