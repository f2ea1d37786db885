#include "image/bmp_row_stream.h"

#include "image/bmp_pixels.h"

#include <algorithm>
#include <cstring>

namespace velkaro::image {

BmpRowStream::BmpRowStream(uint64_t file_size, PictureFor picture_for)
    : file_size_(file_size), picture_for_(std::move(picture_for)) {}

void BmpRowStream::Take(uint64_t offset, std::span<const uint8_t> bytes) {
  if (state_ == State::kComplete || state_ == State::kEnded) return;
  if (offset != taken_) {  // a gap or a repeat: these bytes cannot be placed
    state_ = State::kEnded;
    return;
  }
  taken_ += bytes.size();
  if (state_ == State::kHead) {
    TakeHead(bytes);
    return;
  }
  TakeRows(offset, bytes);
}

void BmpRowStream::TakeHead(std::span<const uint8_t> bytes) {
  const size_t wanted = static_cast<size_t>(std::min<uint64_t>(file_size_, kBmpHeadBytes));
  const size_t used = std::min(bytes.size(), wanted - head_.size());
  head_.insert(head_.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(used));
  if (head_.size() < wanted) return;

  if (!ParseBmpLayout(head_, file_size_, layout_).ok() || layout_.coding != BmpCoding::kRaw) {
    state_ = State::kEnded;
    return;
  }
  picture_ = picture_for_(layout_, head_);
  if (picture_.base == nullptr) {
    state_ = State::kEnded;
    return;
  }
  state_ = State::kRows;
  row_.reserve(static_cast<size_t>(layout_.stride));
  if (layout_.height == 0) state_ = State::kComplete;
  // The head may already hold pixels, and the piece more after it.
  TakeRows(0, head_);
  TakeRows(head_.size(), bytes.subspan(used));
  head_.clear();
  head_.shrink_to_fit();
}

void BmpRowStream::TakeRows(uint64_t offset, std::span<const uint8_t> bytes) {
  const uint64_t stride = layout_.stride;
  // Bytes before the pixels (headers, palette, a gap) carry no rows.
  if (offset < layout_.pixel_offset) {
    const uint64_t skip = std::min<uint64_t>(layout_.pixel_offset - offset, bytes.size());
    bytes = bytes.subspan(static_cast<size_t>(skip));
    offset += skip;
  }
  while (!bytes.empty() && state_ == State::kRows) {
    if (row_.empty() && bytes.size() >= stride) {
      ConvertRow(bytes.data());
      bytes = bytes.subspan(static_cast<size_t>(stride));
      continue;
    }
    const size_t used = static_cast<size_t>(std::min<uint64_t>(stride - row_.size(), bytes.size()));
    row_.insert(row_.end(), bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(used));
    bytes = bytes.subspan(used);
    if (row_.size() == stride) {
      ConvertRow(row_.data());
      row_.clear();
    }
  }
}

void BmpRowStream::ConvertRow(const uint8_t* stored) {
  const int32_t stored_row = next_row_++;
  const int32_t row = layout_.top_down ? stored_row : layout_.height - 1 - stored_row;
  uint8_t* line = picture_.base + static_cast<size_t>(row) * picture_.bytes_per_line;
  if (picture_.as_stored && layout_.bits_per_pixel == 24) {
    std::memcpy(line, stored, static_cast<size_t>(layout_.width) * 3);
  } else {
    StoredRowToRgb(layout_, stored, line);
  }
  if (next_row_ == layout_.height) state_ = State::kComplete;
}

}  // namespace velkaro::image
