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
    status = plan_.ReadRow(row, row_.data());
    rgb = row_.data();
    return status.ok();
  }
  Status status;  // the row reader's, of the last row asked for

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

Status WriteJpegRows(image::BmpRows& plan, int quality, VSILFILE* out,
                     const std::string& out_name) {
  PlanRows rows(plan);
  GdalSink sink(out);
  const image::JpegEncoding encoding =
      image::EncodeJpeg(plan.width(), plan.height(), quality, rows, sink);
  if (encoding.ok) return Status::Ok();
  if (encoding.stopped_by_source) return rows.status;
  return Status::Invalid("cannot write " + out_name + ": " + encoding.message, out_name);
}

}  // namespace velkaro::gis
