#include "platform/memory.h"

#include <chrono>
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
// than a fault for every 4 KiB, where the system has huge pages at hand;
// smaller buffers keep small pages.
constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kHugeFrom = size_t{512} << 10;

size_t MappedSize(size_t size) {
  return size < kHugeFrom ? size : (size + kHugePage - 1) / kHugePage * kHugePage;
}

// Where the system has none at hand, a huge page costs far more than its
// small pages: a virtual machine whose host takes back the guest's free
// memory (free page reporting) backs a huge page anew, at about 2 ms a MiB
// on the machine we measured, where small pages, drawn from memory still
// backed, cost 0.4 and huge pages freed a moment before 0.1.
constexpr auto kSlowHugePage = std::chrono::microseconds(1000);  // 0.5 ms a MiB

// Only buffers this large change to small pages when huge ones come slowly:
// a picture, made once, where that first cost is hundreds of milliseconds.
// A coder's buffers cost tens at most, and a coder run again and again gets
// its huge pages back cheaply each time, where small pages would cost their
// full price every time.
constexpr size_t kAdaptFrom = size_t{64} << 20;

// Faults in [start, start + size) a huge page at a time, timing each: from
// the first that came slowly on, the rest takes small pages. Kernels before
// 5.14 refuse to fault pages in on request; the pages then fault in on
// first touch.
void Populate(uint8_t* start, size_t size, bool huge) {
  if (!huge || size < kAdaptFrom) {
    ::madvise(start, size, MADV_POPULATE_WRITE);
    return;
  }
  size_t done = 0;
  for (; done + kHugePage <= size; done += kHugePage) {
    const auto begin = std::chrono::steady_clock::now();
    if (::madvise(start + done, kHugePage, MADV_POPULATE_WRITE) != 0) return;
    if (std::chrono::steady_clock::now() - begin >= kSlowHugePage) {
      done += kHugePage;
      if (done < size) ::madvise(start + done, size - done, MADV_NOHUGEPAGE);
      break;
    }
  }
  if (done < size) ::madvise(start + done, size - done, MADV_POPULATE_WRITE);
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
  const bool huge = slack > 0 && ::madvise(start, mapped, MADV_HUGEPAGE) == 0;
  if (faults == Faults::kUpFront) Populate(start, mapped, huge);
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
