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
                                           LayoutCase{"Tall", 401,
                                                      QImage::Format_ARGB32_Premultiplied},
                                           LayoutCase{"Packed", 285, QImage::Format_RGB888},
                                           LayoutCase{"HighColour", 300, QImage::Format_RGB16}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OtherSize {
  int width;
  int height;
  double pixel_ratio;
  int capture_height;
};

class CaptureOfOtherView : public ::testing::TestWithParam<OtherSize> {};

// The picture of quarters: after scaling to 240 x 266 each quarter must
// still fill its own quarter of the buffer, with the top of the view at the
// buffer's end.
TEST_P(CaptureOfOtherView, IsScaledToTheLayoutAndKeepsTheWholeView) {
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
  ASSERT_EQ(capture.width, kSnapshotWidth);
  ASSERT_EQ(capture.height, c.capture_height);
  ASSERT_EQ(capture.pixels.size(), std::size_t{kSnapshotWidth} * 3 * c.capture_height);
  const int h = capture.height;
  auto at = [&](int x, int window_row) {
    const unsigned char* p = &capture.pixels[std::size_t{720} * (h - 1 - window_row) + x * 3];
    return qRgb(p[0], p[1], p[2]);
  };
  // Away from the quarter borders, where smoothing blends them.
  for (int row : {4, h / 4, h / 2 - 8, h / 2 + 8, 3 * h / 4, h - 5}) {
    EXPECT_EQ(at(10, row), quarters[row > h / 2][0]) << "left, row " << row;
    EXPECT_EQ(at(229, row), quarters[row > h / 2][1]) << "right, row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CaptureOfOtherView,
                         ::testing::Values(OtherSize{240, 265, 1, 266},  // one row short
                                           OtherSize{240, 100, 1, 266}, OtherSize{239, 300, 1, 266},
                                           OtherSize{241, 266, 1, 266}, OtherSize{120, 134, 1, 266},
                                           OtherSize{800, 600, 1, 266}, OtherSize{60, 50, 1, 266},
                                           // A 240 x 285 view rendered at twice its size
                                           // is taken at its layout size.
                                           OtherSize{480, 570, 2, 285},
                                           OtherSize{480, 400, 2, 266}));

TEST(CaptureOfEmptyView, IsEmpty) {
  const SnapshotCapture capture = CaptureForSnapshot(QImage());
  EXPECT_EQ(std::tuple(capture.width, capture.height, capture.pixels.size()), std::tuple(0, 0, 0u));
}

}  // namespace
}  // namespace velkaro
