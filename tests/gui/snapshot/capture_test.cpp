// The view's picture as the writer's bottom-up RGB buffer: row order, colour
// order, packing, and the scaling of views that do not have the layout's
// shape.
#include "gui/snapshot/capture.h"

#include "snapshot/jpeg_writer.h"

#include <cstddef>
#include <cstdlib>
#include <string>
#include <tuple>

#include <QImage>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

// Every pixel differs from its neighbours in every channel, and red, green
// and blue differ from each other, so a flipped, shifted or swapped buffer
// shows.
QRgb PatternAt(int x, int y) {
  return qRgb((x * 5 + y) % 256, (y * 3 + 7) % 256, (x + y * 11) % 256);
}

QImage PatternPicture(int width, int height, QImage::Format format) {
  QImage picture(width, height, format);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) picture.setPixel(x, y, PatternAt(x, y));
  }
  return picture;
}

struct LayoutCase {
  const char* name;
  int height;
  QImage::Format format;
};

class CaptureOfLayoutView : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(CaptureOfLayoutView, IsTheViewBottomUpInRedGreenBlueWithPackedRows) {
  const LayoutCase c = GetParam();
  const QImage picture = PatternPicture(kSnapshotWidth, c.height, c.format);
  const SnapshotCapture capture = CaptureForSnapshot(picture);
  ASSERT_EQ(capture.width, kSnapshotWidth);
  ASSERT_EQ(capture.height, c.height);
  ASSERT_EQ(capture.pixels.size(), std::size_t{kSnapshotWidth} * 3 * c.height);
  ASSERT_GE(capture.pixels.size(), JpegCaptureBytes(kSnapshotWidth, kSnapshotHeight));
  int wrong = 0;
  for (int k = 0; k < capture.height; ++k) {
    for (int x = 0; x < capture.width; ++x) {
      const unsigned char* p = &capture.pixels[(std::size_t{720} * k) + std::size_t(x) * 3];
      // The picture's own colour: a 16-bit format keeps fewer levels.
      const QRgb expected = picture.pixel(x, c.height - 1 - k);
      if (p[0] != qRed(expected) || p[1] != qGreen(expected) || p[2] != qBlue(expected)) {
        if (++wrong <= 3) ADD_FAILURE() << "buffer row " << k << " column " << x;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CaptureOfLayoutView,
                         ::testing::Values(LayoutCase{"Least", 266, QImage::Format_RGB32},
                                           LayoutCase{"Layout", 285, QImage::Format_RGB32},
                                           LayoutCase{"Premultiplied", 280,
                                                      QImage::Format_ARGB32_Premultiplied},
                                           LayoutCase{"Packed", 285, QImage::Format_RGB888},
                                           LayoutCase{"HighColour", 270, QImage::Format_RGB16}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OtherSize {
  int width;
  int height;
  double pixel_ratio;
};

class CaptureOfOtherView : public ::testing::TestWithParam<OtherSize> {};

// The picture of quarters: at any size past the handheld's layout the
// capture is the whole view at its logical size over one white row, each
// quarter in its own quarter of the buffer, the top of the view at its end.
TEST_P(CaptureOfOtherView, IsTheWholeViewAtItsSizeOverOneWhiteRow) {
  const OtherSize c = GetParam();
  const QRgb quarters[2][2] = {{qRgb(255, 0, 0), qRgb(0, 255, 0)},
                               {qRgb(0, 0, 255), qRgb(255, 255, 255)}};
  QImage picture(c.width, c.height, QImage::Format_RGB32);
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      picture.setPixel(x, y, quarters[y >= c.height / 2][x >= c.width / 2]);
    }
  }
  picture.setDevicePixelRatio(c.pixel_ratio);

  const SnapshotCapture capture = CaptureForSnapshot(picture);
  const int w = int(c.width / c.pixel_ratio);
  const int h = int(c.height / c.pixel_ratio);
  ASSERT_EQ(std::tuple(capture.width, capture.height), std::tuple(w, h + 1));
  ASSERT_EQ(capture.picture_height, h);
  ASSERT_EQ(capture.pixels.size(), std::size_t(w) * 3 * (h + 1));
  auto at = [&](int x, int window_row) {
    const unsigned char* p = &capture.pixels[std::size_t(w) * 3 * (h - window_row) + x * 3];
    return qRgb(p[0], p[1], p[2]);
  };
  // Away from the quarter borders, where smoothing of a scaled view blends them.
  for (int row : {1, h / 4, h / 2 - 3, h / 2 + 3, 3 * h / 4, h - 2}) {
    EXPECT_EQ(at(1, row), quarters[row >= h / 2][0]) << "left, row " << row;
    EXPECT_EQ(at(w - 2, row), quarters[row >= h / 2][1]) << "right, row " << row;
  }
  EXPECT_EQ(at(1, h), qRgb(255, 255, 255)) << "the row the writer skips";
}

INSTANTIATE_TEST_SUITE_P(Sizes, CaptureOfOtherView,
                         ::testing::Values(OtherSize{240, 100, 1}, OtherSize{239, 300, 1},
                                           OtherSize{241, 266, 1}, OtherSize{240, 286, 1},
                                           OtherSize{800, 600, 1}, OtherSize{60, 50, 1},
                                           // A 900 x 500 view rendered at twice its size.
                                           OtherSize{1800, 1000, 2}));

// Rendered at twice its size, a view in the layout is taken at its layout
// size as on the handheld.
TEST(CaptureOfScaledLayoutView, IsTakenAtItsLayoutSize) {
  QImage picture(480, 570, QImage::Format_RGB32);
  picture.fill(Qt::red);
  picture.setDevicePixelRatio(2);
  const SnapshotCapture capture = CaptureForSnapshot(picture);
  EXPECT_EQ(std::tuple(capture.width, capture.height, capture.picture_height),
            std::tuple(240, 285, 265));
}

TEST(CaptureOfEmptyView, IsEmpty) {
  const SnapshotCapture capture = CaptureForSnapshot(QImage());
  EXPECT_EQ(std::tuple(capture.width, capture.height, capture.pixels.size(), capture.picture_height),
            std::tuple(0, 0, 0u, 0));
}

}  // namespace
}  // namespace velkaro
