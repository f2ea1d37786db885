#pragma once

#include "gis/bmp_layout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkaro::gis {

// A plan bitmap read one row at a time, in any order, as 8-bit RGB: the file
// is never held in memory whole. Raw rows are read where they lie; for
// run-length coded files the coded pixel data (at most the file's size, and
// in practice a small part of the decoded plan) is kept with the place where
// each row's codes begin, found by one walk over the codes when the file is
// opened. Pixels a coded file leaves undefined (skipped by a delta, or after
// the codes end early) take palette entry 0.
//
// Lifetime: the descriptor passed to Open must stay open while rows are read.
// Thread safety: none; one reader at a time.
class BmpRows {
 public:
  // Reads and checks the headers of the BMP file open on `fd`. Returns an
  // empty string on success, else what is wrong.
  std::string Open(int fd);

  int32_t width() const { return layout_.width; }
  int32_t height() const { return layout_.height; }

  // Fills `rgb` (3 * width bytes) with row `row`, counted from the top.
  // REQUIRES: Open succeeded and 0 <= row < height.
  std::string ReadRow(int32_t row, uint8_t* rgb);

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
  BmpLayout layout_;
  std::vector<uint8_t> stored_;       // one stored row, or one row of palette indices
  std::vector<uint8_t> coded_;        // the run-length codes
  std::vector<RowStart> row_starts_;  // stored rows with codes, bottom row first
};

}  // namespace velkaro::gis
