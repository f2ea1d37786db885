#pragma once

#include "image/bmp_layout.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace velkaro::image {

// A raw plan bitmap turned into 8-bit RGB rows while its bytes are still
// being produced, front to back: the expander of a projection file hands its
// output here as it goes, so the picture is whole when the last byte is,
// without the file being read again. Only a stored row that straddles two
// pieces is copied; every other row is converted where it lies.
//
// Run-length coded files, headers that do not parse, a picture the owner
// declines and bytes that do not follow on from the last ones all end the
// stream quietly: Complete() stays false and the caller reads the finished
// file instead.
//
// Thread safety: none; the pieces come one at a time.
class BmpRowStream {
 public:
  // Where row r, counted from the top, goes: 3 * width bytes at
  // base + r * bytes_per_line. A null base declines the file. With
  // `as_stored` (24-bit files only) each row is copied as it is stored,
  // blue first, for a picture that shows such rows as they lie.
  struct Picture {
    uint8_t* base = nullptr;
    size_t bytes_per_line = 0;
    bool as_stored = false;
  };
  // Asked once, when the headers have arrived; `head` is the file's start.
  using PictureFor = std::function<Picture(const BmpLayout&, std::span<const uint8_t> head)>;

  // `file_size`: the length the whole file will have.
  BmpRowStream(uint64_t file_size, PictureFor picture_for);

  // The file's bytes from `offset` on.
  void Take(uint64_t offset, std::span<const uint8_t> bytes);

  // Every row has been converted.
  bool Complete() const { return state_ == State::kComplete; }

 private:
  enum class State { kHead, kRows, kComplete, kEnded };

  void TakeHead(std::span<const uint8_t> bytes);
  void TakeRows(uint64_t offset, std::span<const uint8_t> bytes);
  void ConvertRow(const uint8_t* stored);

  uint64_t file_size_;
  PictureFor picture_for_;
  State state_ = State::kHead;
  uint64_t taken_ = 0;  // bytes of the file seen so far
  std::vector<uint8_t> head_;
  BmpLayout layout_;
  Picture picture_;
  int32_t next_row_ = 0;      // stored rows converted so far
  std::vector<uint8_t> row_;  // the part of a straddling row seen so far
};

}  // namespace velkaro::image
