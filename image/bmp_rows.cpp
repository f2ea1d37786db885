#include "image/bmp_rows.h"

#include "image/bmp_pixels.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro::image {
namespace {

// Reads exactly `length` bytes at `offset`, or says why not.
Status ReadAt(int fd, const std::string& name, uint64_t offset, uint8_t* out, size_t length) {
  int error = 0;
  if (ReadFileAt(fd, offset, out, length, &error) == length) return Status::Ok();
  if (error != 0) return Status::FromErrno(error, name);
  // The size was checked when the file was opened: it has shrunk since.
  return Status::Invalid("the plan bitmap ends early", name);
}

// How the codes of one stored row end.
enum class RowEnd { kEndOfLine, kDelta, kEndOfBitmap, kOutOfCodes };

struct RowWalk {
  RowEnd end = RowEnd::kOutOfCodes;
  uint64_t next = 0;       // the first code after the row's end
  int64_t column = 0;      // where a delta started
  int32_t dx = 0, dy = 0;  // a delta's move
};

// Walks the run-length codes of one stored row from `pos`, starting at
// `column`, and stores the palette indices in `out` when it is given. Runs
// past the row's end are cut off there: rows never wrap.
RowWalk WalkRow(std::span<const uint8_t> codes, uint64_t pos, int64_t column, int32_t width,
                bool four_bits, uint8_t* out) {
  auto put = [&](uint8_t index) {
    if (out != nullptr && column >= 0 && column < width) out[column] = index;
    ++column;
  };
  RowWalk walk;
  while (pos + 2 <= codes.size()) {
    const uint8_t count = codes[pos], value = codes[pos + 1];
    pos += 2;
    if (count > 0) {  // a run: one index, or two alternating ones at 4 bits
      if (out == nullptr) {
        column += count;
        continue;
      }
      for (int i = 0; i < count; ++i)
        put(four_bits ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      continue;
    }
    if (value == 0 || value == 1) {
      walk.end = value == 0 ? RowEnd::kEndOfLine : RowEnd::kEndOfBitmap;
      walk.next = pos;
      return walk;
    }
    if (value == 2) {  // delta: move right and down
      if (pos + 2 > codes.size()) break;
      const uint8_t dx = codes[pos], dy = codes[pos + 1];
      pos += 2;
      if (dy == 0) {
        column += dx;
        continue;
      }
      walk = RowWalk{RowEnd::kDelta, pos, column, dx, dy};
      return walk;
    }
    // Absolute mode: `value` indices follow, padded to an even byte count.
    const uint64_t bytes = four_bits ? (value + 1u) / 2 : value;
    const uint64_t available = std::min<uint64_t>(bytes, codes.size() - pos);
    for (uint64_t i = 0; i < value; ++i) {
      const uint64_t byte = four_bits ? i / 2 : i;
      if (byte >= available) break;
      const uint8_t b = codes[pos + byte];
      put(four_bits ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
    }
    if (available < bytes) break;
    pos += (bytes + 1) & ~uint64_t{1};
  }
  walk.end = RowEnd::kOutOfCodes;
  walk.next = codes.size();
  return walk;
}

}  // namespace

Status ReadBmpLayout(int fd, const std::string& name, BmpLayout& layout, uint64_t& file_size) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Status::FromErrno(errno, name);
  file_size = static_cast<uint64_t>(info.st_size);
  std::vector<uint8_t> head(std::min<uint64_t>(file_size, kBmpHeadBytes));
  if (Status read = ReadAt(fd, name, 0, head.data(), head.size()); !read.ok()) return read;
  Status parsed = ParseBmpLayout(head, file_size, layout);
  if (parsed.ok()) return parsed;
  std::string text = "the plan bitmap cannot be read: " + parsed.message();
  return parsed.code() == Status::Code::kUnsupported ? Status::Unsupported(std::move(text), name)
                                                     : Status::Invalid(std::move(text), name);
}

Status BmpRows::Open(int fd, std::string name) {
  BmpLayout layout;
  uint64_t file_size = 0;
  if (Status read = ReadBmpLayout(fd, name, layout, file_size); !read.ok()) {
    layout_ = layout;
    return read;
  }
  return Open(fd, layout, file_size, std::move(name));
}

Status BmpRows::Open(int fd, const BmpLayout& layout, uint64_t file_size, std::string name) {
  fd_ = fd;
  name_ = std::move(name);
  layout_ = layout;
  coded_.clear();
  row_starts_.clear();
  if (layout_.coding == BmpCoding::kRaw) {
    stored_.resize(layout_.stride);
    return Status::Ok();
  }
  stored_.resize(static_cast<size_t>(layout_.width));
  coded_.resize(file_size - layout_.pixel_offset);
  if (Status read = ReadAt(fd, name_, layout_.pixel_offset, coded_.data(), coded_.size());
      !read.ok())
    return read;
  IndexRuns();
  return Status::Ok();
}

void BmpRows::IndexRuns() {
  const bool four_bits = layout_.coding == BmpCoding::kRle4;
  uint64_t pos = 0;
  int64_t column = 0;
  for (int64_t row = 0; row < layout_.height;) {
    // A delta can leave the column anywhere; beyond the row nothing shows.
    row_starts_.push_back(RowStart{static_cast<int32_t>(row),
                                   static_cast<int32_t>(std::min<int64_t>(column, layout_.width)),
                                   pos});
    const RowWalk walk = WalkRow(coded_, pos, column, layout_.width, four_bits, nullptr);
    pos = walk.next;
    if (walk.end == RowEnd::kEndOfLine) {
      ++row;
      column = 0;
    } else if (walk.end == RowEnd::kDelta) {
      row += walk.dy;
      column = walk.column + walk.dx;
    } else {
      break;
    }
  }
}

void BmpRows::DecodeRunRow(int32_t stored_row, uint8_t* indices) const {
  std::memset(indices, 0, static_cast<size_t>(layout_.width));
  const auto start =
      std::lower_bound(row_starts_.begin(), row_starts_.end(), stored_row,
                       [](const RowStart& entry, int32_t row) { return entry.row < row; });
  if (start == row_starts_.end() || start->row != stored_row) return;  // no codes: all index 0
  WalkRow(coded_, start->offset, start->column, layout_.width, layout_.coding == BmpCoding::kRle4,
          indices);
}

Status BmpRows::ReadRow(int32_t row, uint8_t* rgb) {
  const int32_t stored_row = layout_.top_down ? row : layout_.height - 1 - row;
  if (layout_.coding != BmpCoding::kRaw) {
    DecodeRunRow(stored_row, stored_.data());
    IndicesToRgb(layout_, stored_.data(), rgb);
    return Status::Ok();
  }
  const uint64_t offset = layout_.pixel_offset + layout_.stride * static_cast<uint64_t>(stored_row);
  if (Status read = ReadAt(fd_, name_, offset, stored_.data(), stored_.size()); !read.ok())
    return read;
  StoredRowToRgb(layout_, stored_.data(), rgb);
  return Status::Ok();
}

}  // namespace velkaro::image
