#pragma once

#include "image/bmp_layout.h"
#include "platform/status.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkaro::image {

// A plan bitmap read one row at a time, in any order, as 8-bit RGB: the file
// is never held in memory whole. Raw rows are read where they lie; for
// run-length coded files the coded pixel data (at most the file's size, and
// in practice a small part of the decoded plan) is kept with the place where
// each row's codes begin, found by one walk over the codes when the file is
// opened. Pixels a coded file leaves undefined (skipped by a delta, or after
// the codes end early) take palette entry 0.
//
// Failures: a read that fails is a file error on the name given to Open; a
// file that is not a bitmap this reader takes, or that ends before a row it
// promised, is kInvalid or kUnsupported, with what is wrong.
//
// Lifetime: the descriptor passed to Open must stay open while rows are read.
// Thread safety: none; one reader at a time.
class BmpRows {
 public:
  // What file errors name when the caller gives no path.
  static constexpr const char* kUnnamed = "the plan bitmap";

  // Reads and checks the headers of the BMP file open on `fd`, then makes
  // ready to read its rows.
  Status Open(int fd, std::string name = kUnnamed);
  // The same for a file whose headers ReadBmpLayout has already read from
  // `fd`: the headers are not read again.
  Status Open(int fd, const BmpLayout& layout, uint64_t file_size, std::string name = kUnnamed);

  int32_t width() const { return layout_.width; }
  int32_t height() const { return layout_.height; }
  const BmpLayout& layout() const { return layout_; }

  // Fills `rgb` (3 * width bytes) with row `row`, counted from the top.
  // REQUIRES: Open succeeded and 0 <= row < height.
  Status ReadRow(int32_t row, uint8_t* rgb);

 private:
  // Where a stored row's codes begin: the byte in coded_ and the column a
  // delta left off at. Only rows that have codes are listed, in row order,
  // so the list never outgrows the codes however tall the file claims to be.
  struct RowStart {
    int32_t row;
    int32_t column;
    uint64_t offset;
  };

  void IndexRuns();
  void DecodeRunRow(int32_t stored_row, uint8_t* indices) const;

  int fd_ = -1;
  std::string name_;
  BmpLayout layout_;
  std::vector<uint8_t> stored_;       // one stored row, or one row of palette indices
  std::vector<uint8_t> coded_;        // the run-length codes
  std::vector<RowStart> row_starts_;  // stored rows with codes, bottom row first
};

// Reads the headers of the BMP file open on `fd` (with pread, leaving the
// file offset alone) into `layout`, and its size into `file_size`, as
// BmpRows::Open does: the same checks, the same failures.
Status ReadBmpLayout(int fd, const std::string& name, BmpLayout& layout, uint64_t& file_size);

}  // namespace velkaro::image
