// Any bytes as a plan bitmap file, taken the way "new plan" and "open
// projection" take one: the headers read once, the reader chosen from them,
// and a file the row reader is chosen for read in one pass from those same
// headers. Such a file must then never fail to read (its headers promised
// every row), must give exactly the rows of a reader that parses the file
// afresh, and must be one of the kinds the choice admits; nothing reads or
// writes outside its buffers. The bytes sit in an in-memory file, as a plan
// bitmap sits in a file on disk.
#include "image/bmp_reader_choice.h"
#include "image/bmp_rows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Sizes that run-length codes can claim from a few bytes: reading them all
// would only measure time.
constexpr uint64_t kMostPixels = 1u << 22;

// The kinds only the general reader may take: the choice must never give
// the row reader one of these.
bool OnlyForTheGeneralReader(const velkaro::image::BmpLayout& layout) {
  const int bits = layout.bits_per_pixel;
  if (bits == 2 || bits == 16) return layout.header_size != 12;
  return bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32;
}

// Every row, top first, from `rows`; aborts on any failure.
std::vector<uint8_t> AllRows(velkaro::image::BmpRows& rows) {
  const size_t line = 3 * static_cast<size_t>(rows.width());
  std::vector<uint8_t> all(line * static_cast<size_t>(rows.height()));
  for (int32_t y = 0; y < rows.height(); ++y) {
    if (!rows.ReadRow(y, all.data() + line * size_t(y)).ok()) std::abort();
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkaro::image;
  const int fd = ::memfd_create("plan", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();

  BmpLayout layout;
  uint64_t file_size = 0;
  if (ReadBmpLayout(fd, "plan.bmp", layout, file_size).ok() &&
      ChooseBmpReader(layout) == BmpReader::kRows) {
    if (file_size != size || OnlyForTheGeneralReader(layout)) std::abort();
    if (uint64_t(layout.width) * uint64_t(layout.height) <= kMostPixels) {
      BmpRows chosen;
      if (!chosen.Open(fd, layout, file_size, "plan.bmp").ok()) std::abort();
      BmpRows afresh;
      if (!afresh.Open(fd, "plan.bmp").ok()) std::abort();
      if (afresh.width() != chosen.width() || afresh.height() != chosen.height()) std::abort();
      if (AllRows(chosen) != AllRows(afresh)) std::abort();
    }
  }
  ::close(fd);
  return 0;
}
