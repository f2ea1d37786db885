#include "image/bmp_writer.h"

#include "platform/atomic_file.h"
#include "platform/byte_order.h"

#include <cerrno>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <utility>

namespace velkaro::image {
namespace {

constexpr uint32_t kFileHeaderSize = kBmpFileHeaderBytes;
constexpr uint32_t kInfoHeaderSize = kBmpWindowsInfoHeaderBytes;
constexpr uint32_t kCompressionRle8 = 1;

}  // namespace

uint64_t BmpStride(int32_t width, int bits) {
  return (uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(bits) + 31) / 32 * 4;
}

Status CheckBmpFormat(const BmpFormat& format) {
  if (format.width <= 0 || format.height <= 0 || format.width > kBmpMaxSide ||
      format.height > kBmpMaxSide)
    return Status::Invalid("a bitmap of " + std::to_string(format.width) + " x " +
                           std::to_string(format.height) + " pixels cannot be written");
  if (format.bits_per_pixel != 24 && format.bits_per_pixel != 8)
    return Status::Invalid("bitmaps of " + std::to_string(format.bits_per_pixel) +
                           " bits a pixel are not written");
  if (format.bits_per_pixel == 24 && !format.palette.empty())
    return Status::Invalid("a 24-bit bitmap has no palette");
  if (format.palette.size() > 256) return Status::Invalid("a palette has at most 256 entries");
  if (format.coding == BmpCoding::kRle4 ||
      (format.coding == BmpCoding::kRle8 && format.bits_per_pixel != 8))
    return Status::Invalid("only 8-bit bitmaps are written run-length coded");
  // Every size the headers state must fit their 32 bits.
  const uint64_t pixels =
      format.coding == BmpCoding::kRaw
          ? BmpStride(format.width, format.bits_per_pixel) * static_cast<uint64_t>(format.height)
          : format.coded_bytes;
  if (kFileHeaderSize + kInfoHeaderSize + 4 * format.palette.size() + pixels > UINT32_MAX)
    return Status::Invalid("a bitmap cannot be larger than 4 GB");
  return Status::Ok();
}

std::vector<uint8_t> BmpHeader(const BmpFormat& format) {
  if (!CheckBmpFormat(format).ok()) return {};
  const uint32_t palette_entries = static_cast<uint32_t>(format.palette.size());
  const uint32_t pixels_at = kFileHeaderSize + kInfoHeaderSize + 4 * palette_entries;
  const uint32_t pixel_bytes = static_cast<uint32_t>(
      format.coding == BmpCoding::kRaw
          ? BmpStride(format.width, format.bits_per_pixel) * static_cast<uint64_t>(format.height)
          : format.coded_bytes);
  std::vector<uint8_t> head(pixels_at, 0);
  uint8_t* h = head.data();
  h[0] = 'B';
  h[1] = 'M';
  StoreLe32(h + 2, pixels_at + pixel_bytes);
  StoreLe32(h + 10, pixels_at);
  StoreLe32(h + 14, kInfoHeaderSize);
  StoreLe32(h + 18, static_cast<uint32_t>(format.width));
  StoreLe32(h + 22, static_cast<uint32_t>(format.height));  // positive: bottom-up
  StoreLe16(h + 26, 1);                                     // planes
  StoreLe16(h + 28, static_cast<uint16_t>(format.bits_per_pixel));
  StoreLe32(h + 30, format.coding == BmpCoding::kRle8 ? kCompressionRle8 : 0);
  StoreLe32(h + 34, pixel_bytes);
  StoreLe32(h + 38, format.pixels_per_metre);
  StoreLe32(h + 42, format.pixels_per_metre);
  // Colours used: 0 means as many as the depth allows.
  StoreLe32(h + 46, palette_entries == 256 ? 0 : palette_entries);
  for (uint32_t i = 0; i < palette_entries; ++i) {
    uint8_t* entry = h + kFileHeaderSize + kInfoHeaderSize + 4 * i;
    entry[0] = format.palette[i][2];
    entry[1] = format.palette[i][1];
    entry[2] = format.palette[i][0];
  }
  return head;
}

Status WriteBmp(const std::string& path, const BmpFormat& format, const BmpRowFill& fill) {
  if (Status checked = CheckBmpFormat(format); !checked.ok()) return checked;
  if (format.coding != BmpCoding::kRaw)
    return Status::Unsupported("run-length coded bitmaps are written by their caller", path);
  AtomicFile out(path);
  if (FileErrorCause cause = out.Open(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path);
  const std::vector<uint8_t> head = BmpHeader(format);
  if (FileErrorCause cause = out.Write(head.data(), head.size()); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path);

  const size_t pixel_bytes = static_cast<size_t>(format.width) * (format.bits_per_pixel / 8);
  std::vector<uint8_t> stored(static_cast<size_t>(BmpStride(format.width, format.bits_per_pixel)),
                              0);
  for (int32_t row = format.height - 1; row >= 0; --row) {
    fill(row, stored.data());
    if (format.bits_per_pixel == 24) {
      for (size_t x = 0; x < pixel_bytes; x += 3) std::swap(stored[x], stored[x + 2]);
    }
    if (FileErrorCause cause = out.Write(stored.data(), stored.size());
        cause != FileErrorCause::kNone)
      return Status::FileError(cause, path);
  }
  if (FileErrorCause cause = out.Commit(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path);
  return Status::Ok();
}

Status BmpRowWriter::Open(const BmpFormat& format) {
  if (Status checked = CheckBmpFormat(format); !checked.ok()) return checked;
  if (format.bits_per_pixel != 24 || format.coding != BmpCoding::kRaw)
    return Status::Unsupported("rows are written to 24-bit raw bitmaps only", path_);
  if (FileErrorCause cause = out_.Open(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path_);
  const std::vector<uint8_t> head = BmpHeader(format);
  if (FileErrorCause cause = out_.Write(head.data(), head.size()); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path_);
  format_ = format;
  pixels_at_ = head.size();
  rows_written_ = 0;
  stored_.assign(static_cast<size_t>(BmpStride(format.width, 24)), 0);
  return Status::Ok();
}

Status BmpRowWriter::WriteRow(int32_t row, const uint8_t* rgb) {
  if (out_.fd() < 0 || row < 0 || row >= format_.height)
    return Status::Invalid("no row " + std::to_string(row) + " to write", path_);
  const size_t pixel_bytes = 3 * static_cast<size_t>(format_.width);
  for (size_t x = 0; x < pixel_bytes; x += 3) {
    stored_[x] = rgb[x + 2];
    stored_[x + 1] = rgb[x + 1];
    stored_[x + 2] = rgb[x];
  }
  // Bottom-up: the top row is stored last.
  off_t at = static_cast<off_t>(pixels_at_ + uint64_t(format_.height - 1 - row) * stored_.size());
  const uint8_t* in = stored_.data();
  size_t left = stored_.size();
  while (left > 0) {
    const ssize_t put = ::pwrite(out_.fd(), in, left, at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      const int error_number = put < 0 ? errno : ENOSPC;
      out_.Abandon();
      return Status::FromErrno(error_number, path_);
    }
    in += put;
    at += put;
    left -= static_cast<size_t>(put);
  }
  ++rows_written_;
  return Status::Ok();
}

Status BmpRowWriter::Commit() {
  if (rows_written_ < format_.height) {
    out_.Abandon();
    return Status::Invalid(path_ + " was left with rows unwritten", path_);
  }
  if (FileErrorCause cause = out_.Commit(); cause != FileErrorCause::kNone)
    return Status::FileError(cause, path_);
  return Status::Ok();
}

}  // namespace velkaro::image
