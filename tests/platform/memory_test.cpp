// PageBuffer maps more than it hands out, to start on a huge page's
// boundary, and gives the rest back: every byte it hands out is zeroed and
// writable, nothing stays mapped once it is gone, and a buffer asked for
// faulted in up front is resident before it is touched.
#include "platform/memory.h"

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

// The process's mapped memory (VmSize), in KiB.
size_t MappedKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmSize:", 0) == 0) return std::stoul(line.substr(7));
  return 0;
}

TEST(PageBuffer, EveryByteIsZeroedAndWritableAndLargeOnesStartOnAHugePage) {
  constexpr size_t kHuge = size_t{2} << 20;
  // Faulted in up front, a large buffer may take huge pages for its start
  // and small ones for the rest, as they come.
  for (const auto faults : {PageBuffer::Faults::kOnFirstTouch, PageBuffer::Faults::kUpFront}) {
    for (const size_t size : {size_t{1}, size_t{4096}, (size_t{512} << 10) - 1, size_t{512} << 10,
                              kHuge, 3 * kHuge + 5, 32 * kHuge + 5}) {
      PageBuffer buffer(size, faults);
      ASSERT_NE(buffer.data(), nullptr) << size;
      EXPECT_EQ(buffer.size(), size);
      for (size_t i = 0; i < size; i += 4096) {
        EXPECT_EQ(buffer.data()[i], 0) << size << " at " << i;
        buffer.data()[i] = 1;
      }
      EXPECT_EQ(buffer.data()[size - 1], size == 1 ? 1 : 0);
      buffer.data()[size - 1] = 2;
      if (size >= (size_t{512} << 10)) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % kHuge, 0u) << size;
      }
    }
  }
  EXPECT_EQ(PageBuffer(0).data(), nullptr);
}

TEST(PageBuffer, NothingStaysMappedAfterBuffersAndMovesEnd) {
  const size_t before = MappedKib();
  ASSERT_GT(before, 0u);
  for (int round = 0; round < 3; ++round) {
    std::vector<PageBuffer> buffers;
    for (int i = 0; i < 20; ++i) buffers.emplace_back((size_t{700} << 10) * (i + 1) + 3);
    PageBuffer moved = std::move(buffers.front());
    EXPECT_EQ(buffers.front().data(), nullptr);
    buffers.back() = std::move(moved);
    EXPECT_EQ(moved.data(), nullptr);
  }
  // Sixty buffers of 0.7 to 14 MB, or the huge page's worth each maps past
  // its end, would add over 100 MB if any stayed.
  EXPECT_LE(MappedKib(), before + 8 * 1024);
}

TEST(PageBuffer, FaultedInUpFrontIsResidentBeforeItIsTouched) {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  void* probe = ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(probe, MAP_FAILED);
  const bool populates = ::madvise(probe, page, MADV_POPULATE_WRITE) == 0;
  ::munmap(probe, page);
  if (!populates) GTEST_SKIP() << "this kernel faults pages in only on first touch";

  for (const size_t size : {size_t{4096} * 3, (size_t{5} << 20) + 1}) {
    for (const auto faults : {PageBuffer::Faults::kOnFirstTouch, PageBuffer::Faults::kUpFront}) {
      const PageBuffer buffer(size, faults);
      ASSERT_NE(buffer.data(), nullptr);
      std::vector<unsigned char> resident((size + page - 1) / page);
      ASSERT_EQ(::mincore(buffer.data(), size, resident.data()), 0);
      size_t in = 0;
      for (const unsigned char r : resident) in += r & 1;
      if (faults == PageBuffer::Faults::kUpFront) {
        EXPECT_EQ(in, resident.size()) << size;
        EXPECT_EQ(buffer.data()[size - 1], 0);
      } else {
        EXPECT_EQ(in, 0u) << size;
      }
    }
  }
}

}  // namespace
}  // namespace velkaro
