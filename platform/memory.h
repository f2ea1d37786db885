#pragma once

#include <cstddef>
#include <cstdint>

namespace velkaro {

// The memory the system can give a program now without swapping, in bytes:
// the kernel's own estimate (MemAvailable in /proc/meminfo). 0 when it
// cannot be read: then nothing is known, and nothing should be refused for it.
uint64_t AvailableMemoryBytes();

// Zeroed memory of its own mapping, in huge pages where the system offers
// them: a picture of hundreds of megabytes, or a coder's buffers of one or
// two, are otherwise faulted in a 4 KiB page at a time, and on a virtual
// machine those faults cost more than the work done in the pages. From half
// a megabyte the buffer starts on a huge page's boundary and its mapping
// runs to the next one. Empty (data() null) when the system refuses the
// memory. Heap buffers of this size are no better: freed, they go back to
// the system and come back as new pages the next time.
class PageBuffer {
 public:
  // When the pages are faulted in: by whichever thread first touches each,
  // or all at once by the thread that makes the buffer. Workers that share
  // a buffer take it faulted in: on a virtual machine a page the host has
  // taken back costs milliseconds to fault again, and a worker stalled on
  // one holds up its partner, which needs that worker's work in order.
  // Faulted in up front, a buffer of 64 MiB or more keeps huge pages only
  // while they come quickly: where the host backs them anew, small pages
  // cost a fifth as much.
  enum class Faults { kOnFirstTouch, kUpFront };

  PageBuffer() = default;
  explicit PageBuffer(size_t size, Faults faults = Faults::kOnFirstTouch);
  ~PageBuffer();
  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace velkaro
