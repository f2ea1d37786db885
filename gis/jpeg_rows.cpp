#include "gis/jpeg_rows.h"

#include "image/jpeg_encoder.h"

#include <vector>

namespace velkaro::gis {
namespace {

// The plan's rows, read one at a time into a buffer of one row.
class PlanRows : public image::JpegRowSource {
 public:
  explicit PlanRows(image::BmpRows& plan)
      : plan_(plan), row_(3 * static_cast<size_t>(plan.width())) {}
  bool Row(int row, const uint8_t*& rgb) override {
    const Status read = plan_.ReadRow(row, row_.data());
    error = read.message();
    rgb = row_.data();
    return read.ok();
  }
  std::string error;  // the row reader's text

 private:
  image::BmpRows& plan_;
  std::vector<uint8_t> row_;
};

class GdalSink : public image::JpegByteSink {
 public:
  explicit GdalSink(VSILFILE* out) : out_(out) {}
  bool Write(const uint8_t* bytes, size_t length) override {
    return VSIFWriteL(bytes, 1, length, out_) == length;
  }

 private:
  VSILFILE* out_;
};

}  // namespace

JpegOutcome WriteJpegRows(image::BmpRows& plan, int quality, VSILFILE* out) {
  PlanRows rows(plan);
  GdalSink sink(out);
  const image::JpegEncoding encoding =
      image::EncodeJpeg(plan.width(), plan.height(), quality, rows, sink);
  if (encoding.ok) return {};
  if (encoding.stopped_by_source) return JpegOutcome{rows.error, {}};
  return JpegOutcome{{}, encoding.message};
}

}  // namespace velkaro::gis
