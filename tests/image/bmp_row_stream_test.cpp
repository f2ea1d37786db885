// Rows built from a bitmap's bytes as they arrive must be the rows the file
// reader gives for the finished file, however the bytes are cut into pieces;
// and anything the stream cannot place leaves it incomplete, never wrong.
#include "image/bmp_row_stream.h"

#include "image/bmp_rows.h"
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::image {
namespace {

using testing::ReadAll;

const std::string kSuite = std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/";

struct Rgb {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;  // rows top down, 3 bytes a pixel
};

// The file reader's rows, or nothing when it refuses the file.
std::optional<Rgb> ReadRows(const std::vector<uint8_t>& bytes) {
  const int fd = ::memfd_create("plan", MFD_CLOEXEC);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) return {};
  BmpRows rows;
  std::optional<Rgb> rgb;
  if (rows.Open(fd).ok()) {
    rgb.emplace();
    rgb->width = rows.width();
    rgb->height = rows.height();
    rgb->pixels.resize(size_t(rows.width()) * 3 * size_t(rows.height()));
    for (int32_t y = 0; y < rows.height(); ++y) {
      if (!rows.ReadRow(y, rgb->pixels.data() + size_t(y) * 3 * size_t(rows.width())).ok())
        rgb.reset();
      if (!rgb) break;
    }
  }
  ::close(fd);
  return rgb;
}

// Feeds `bytes` in pieces of `piece` bytes into a stream, told the file is
// `total` bytes long (0: all of `bytes`), that writes into a picture with a
// padded line, as a QImage has; or, with `decline`, whose owner gives none.
struct Streamed {
  bool asked = false;
  bool complete = false;
  Rgb rgb;
};

Streamed Stream(const std::vector<uint8_t>& bytes, size_t piece, bool decline = false,
                size_t total = 0) {
  Streamed out;
  std::vector<uint8_t> picture;
  size_t line = 0;
  BmpRowStream stream(total ? total : bytes.size(),
                      [&](const BmpLayout& layout, std::span<const uint8_t> head) {
                        out.asked = true;
                        EXPECT_GE(head.size(), std::min<size_t>(bytes.size(), kBmpHeadBytes));
                        if (decline) return BmpRowStream::Picture{};
                        out.rgb.width = layout.width;
                        out.rgb.height = layout.height;
                        line = size_t(layout.width) * 3 + 5;
                        picture.assign(line * size_t(layout.height), 0xEE);
                        return BmpRowStream::Picture{picture.data(), line};
                      });
  for (size_t at = 0; at < bytes.size(); at += piece) {
    const size_t n = std::min(piece, bytes.size() - at);
    stream.Take(at, std::span<const uint8_t>(bytes).subspan(at, n));
  }
  out.complete = stream.Complete();
  for (int32_t y = 0; y < out.rgb.height && out.complete; ++y) {
    const uint8_t* row = picture.data() + size_t(y) * line;
    out.rgb.pixels.insert(out.rgb.pixels.end(), row, row + size_t(out.rgb.width) * 3);
  }
  return out;
}

bool IsRunLengthCoded(const std::vector<uint8_t>& bytes) {
  return bytes.size() >= 34 && bytes[14] >= 40 && (bytes[30] == 1 || bytes[30] == 2);
}

TEST(BmpRowStream, GivesTheFileReadersRowsForEveryRawSuiteFileInAnyPieces) {
  int compared = 0;
  for (const char* folder : {"g", "q", "b"}) {
    for (const auto& entry : std::filesystem::directory_iterator(kSuite + folder)) {
      const std::vector<uint8_t> bytes = ReadAll(entry.path());
      const std::optional<Rgb> expected = ReadRows(bytes);
      for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}, bytes.size() + 1}) {
        SCOPED_TRACE(entry.path().string() + " in pieces of " + std::to_string(piece));
        const Streamed got = Stream(bytes, piece);
        if (!expected || IsRunLengthCoded(bytes)) {
          // Refused by the reader, or coded: the caller reads the file.
          EXPECT_FALSE(got.complete);
          continue;
        }
        ASSERT_TRUE(got.complete);
        EXPECT_EQ(got.rgb.width, expected->width);
        EXPECT_EQ(got.rgb.height, expected->height);
        EXPECT_TRUE(got.rgb.pixels == expected->pixels);
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 4 * 30) << "most of the suite is raw";
}

TEST(BmpRowStream, WhatItCannotPlaceLeavesItIncomplete) {
  const std::vector<uint8_t> bytes = ReadAll(kSuite + "g/rgb24.bmp");
  ASSERT_TRUE(Stream(bytes, 100).complete);

  // Declined by the owner: never complete, nothing written.
  const Streamed declined = Stream(bytes, 100, /*decline=*/true);
  EXPECT_TRUE(declined.asked);
  EXPECT_FALSE(declined.complete);

  // Cut short: the last rows never come.
  const std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 10);
  EXPECT_FALSE(Stream(cut, cut.size(), false, bytes.size()).complete);

  // A gap, or a piece given twice: the bytes after it cannot be placed.
  for (uint64_t wrong_offset : {uint64_t{150}, uint64_t{50}}) {
    std::vector<uint8_t> picture(bytes.size() * 2);
    BmpRowStream stream(bytes.size(), [&](const BmpLayout& layout, std::span<const uint8_t>) {
      return BmpRowStream::Picture{picture.data(), size_t(layout.width) * 3};
    });
    stream.Take(0, std::span<const uint8_t>(bytes).first(100));
    stream.Take(wrong_offset, std::span<const uint8_t>(bytes).subspan(100));
    EXPECT_FALSE(stream.Complete()) << "offset " << wrong_offset;
  }
}

}  // namespace
}  // namespace velkaro::image
