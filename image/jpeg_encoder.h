#pragma once

// Baseline JPEG encoding over libjpeg, one row at a time, for the snapshot
// writer and the KMZ export. libjpeg reports failures by calling an exit
// routine; here every failure ends the encoding with the library's own text
// instead, and nothing is left allocated.

#include <cstddef>
#include <cstdint>
#include <string>

namespace velkaro::image {

// Both are called from inside libjpeg, where nothing may throw.
class JpegRowSource {
 public:
  virtual ~JpegRowSource() = default;
  // Points `rgb` at picture row `row` (top first, 3 * width bytes of red,
  // green, blue). False stops the encoding; the source keeps its reason.
  virtual bool Row(int row, const uint8_t*& rgb) = 0;
};

class JpegByteSink {
 public:
  virtual ~JpegByteSink() = default;
  // False is a write failure ("Output file write error ...").
  virtual bool Write(const uint8_t* bytes, size_t length) = 0;
  // After the last bytes; false is a write failure too.
  virtual bool Finish() { return true; }
};

struct [[nodiscard]] JpegEncoding {
  bool ok = false;
  bool stopped_by_source = false;
  // The library's text of its fatal error, or of its last warning; empty
  // after a clean encoding.
  std::string message;
};

// Encodes width x height rows at `quality` (libjpeg clamps it to 1..100)
// with the standard tables, so in a single pass holding a band of rows only.
// A side of 0, a negative one or one beyond 65500 is refused by the library
// before any row is asked for.
JpegEncoding EncodeJpeg(int width, int height, int quality, JpegRowSource& rows, JpegByteSink& out);

// The library's text for a failed write, for failures found after it
// returned (a commit of the finished file).
[[nodiscard]] std::string JpegWriteErrorText();

}  // namespace velkaro::image
