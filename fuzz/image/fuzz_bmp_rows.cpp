// Any bytes as a plan bitmap: the row reader must refuse them with a message
// or read every row, in any order, without reading or writing outside its
// buffers. The bytes sit in an in-memory file, as the expanded plan sits in
// an unnamed temporary file. The same bytes fed in pieces to the stream that
// builds a projection file's picture while it expands must give the file
// reader's rows whenever the stream completes, and never write outside the
// picture it was given.
#include "image/bmp_row_stream.h"
#include "image/bmp_rows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Sizes that run-length codes can claim from a few bytes: reading them all
// would only measure time.
constexpr uint64_t kMostPixels = 1u << 22;

void CompareWithStream(const uint8_t* data, size_t size, const std::vector<uint8_t>& rows_rgb) {
  std::vector<uint8_t> picture;
  size_t line = 0;
  velkaro::image::BmpRowStream stream(
      size, [&](const velkaro::image::BmpLayout& layout, std::span<const uint8_t>) {
        const uint64_t pixels = uint64_t(layout.width) * uint64_t(layout.height);
        if (pixels > kMostPixels) return velkaro::image::BmpRowStream::Picture{};
        line = size_t(layout.width) * 3;
        picture.assign(line * size_t(layout.height), 0);
        return velkaro::image::BmpRowStream::Picture{picture.data(), line};
      });
  // Pieces of a size the input chooses, so every seam is crossed.
  const size_t piece = size > 0 ? size_t(data[0]) % 61 + 1 : 1;
  for (size_t at = 0; at < size; at += piece)
    stream.Take(at, {data + at, std::min(piece, size - at)});
  if (stream.Complete() && picture != rows_rgb) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = ::memfd_create("plan", MFD_CLOEXEC);
  if (fd < 0) std::abort();
  if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  velkaro::image::BmpRows rows;
  if (rows.Open(fd).ok()) {
    const uint64_t pixels = uint64_t(rows.width()) * uint64_t(rows.height());
    if (pixels <= kMostPixels) {
      const size_t line = 3 * static_cast<size_t>(rows.width());
      std::vector<uint8_t> all(line * static_cast<size_t>(rows.height()));
      // Last row first, then the rest top down: both directions of seeking.
      std::vector<uint8_t> rgb(line);
      if (!rows.ReadRow(rows.height() - 1, rgb.data()).ok()) std::abort();
      for (int32_t y = 0; y < rows.height(); ++y) {
        if (!rows.ReadRow(y, all.data() + line * size_t(y)).ok()) std::abort();
      }
      CompareWithStream(data, size, all);
    }
  } else {
    CompareWithStream(data, size, {});  // refused by the reader: never a picture
  }
  ::close(fd);
  return 0;
}
