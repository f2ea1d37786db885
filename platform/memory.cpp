#include "platform/memory.h"

#include <cstdint>
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

namespace {

// A huge page holds only memory that starts and ends on its boundaries, so
// a buffer of half a megabyte or more is mapped from one boundary to
// another. From that size one fault and the clearing of 2 MiB cost less
// than a fault for every 4 KiB (tenfold less on a virtual machine); smaller
// buffers keep small pages.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeFrom = size_t{512} << 10;

size_t MappedSize(size_t size) {
  return size < kHugeFrom ? size : (size + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

PageBuffer::PageBuffer(size_t size, Faults faults) {
  if (size == 0) return;
  const size_t mapped = MappedSize(size);
  if (mapped < size) return;
  // A huge page's worth more, to find a boundary in; the rest is unmapped.
  const size_t slack = size < kHugeFrom ? 0 : kHugePage;
  if (mapped > SIZE_MAX - slack) return;
  void* address =
      ::mmap(nullptr, mapped + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return;
  auto* start = static_cast<uint8_t*>(address);
  if (slack > 0) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(start);
    const size_t head = (kHugePage - at % kHugePage) % kHugePage;
    if (head > 0) ::munmap(start, head);
    if (slack - head > 0) ::munmap(start + head + mapped, slack - head);
    start += head;
  }
  ::madvise(start, mapped, MADV_HUGEPAGE);  // only advice: refused is fine
  // Refused by kernels before 5.14: the pages then fault in on first touch.
  if (faults == Faults::kUpFront) ::madvise(start, mapped, MADV_POPULATE_WRITE);
  data_ = start;
  size_ = size;
}

PageBuffer::~PageBuffer() {
  if (data_ != nullptr) ::munmap(data_, MappedSize(size_));
}

PageBuffer::PageBuffer(PageBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PageBuffer& PageBuffer::operator=(PageBuffer&& other) noexcept {
  if (this != &other) {
    if (data_ != nullptr) ::munmap(data_, MappedSize(size_));
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace velkaro
