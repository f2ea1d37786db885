// Any bytes as the plan bitmap of an export: the row reader must refuse them
// with a message or read every row, in any order, without reading or writing
// outside its buffers. The bytes sit in an in-memory file, as the expanded
// plan sits in an unnamed temporary file.
#include "gis/bmp_rows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("plan", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  velkaro::gis::BmpRows rows;
  if (rows.Open(fd).empty()) {
    // Sizes that run-length codes can claim from a few bytes: reading them
    // all would only measure time.
    const uint64_t pixels = uint64_t(rows.width()) * uint64_t(rows.height());
    if (pixels <= (1u << 22)) {
      std::vector<uint8_t> rgb(3 * static_cast<size_t>(rows.width()));
      // Last row first, then the rest top down: both directions of seeking.
      if (!rows.ReadRow(rows.height() - 1, rgb.data()).empty()) std::abort();
      for (int32_t y = 0; y < rows.height(); ++y) {
        if (!rows.ReadRow(y, rgb.data()).empty()) std::abort();
      }
    }
  }
  ::close(fd);
  return 0;
}
