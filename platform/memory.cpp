#include "platform/memory.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <utility>

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

PageBuffer::PageBuffer(size_t size) {
  if (size == 0) return;
  void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return;
  ::madvise(address, size, MADV_HUGEPAGE);  // only advice: refused is fine
  data_ = static_cast<uint8_t*>(address);
  size_ = size;
}

PageBuffer::~PageBuffer() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) ::munmap(data_, size_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace velkaro
