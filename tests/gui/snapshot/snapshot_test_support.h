// Test helpers for the snapshot command: the wait-cursor probe, a widget
// that shows a given picture, and picture comparisons. The fakes that share
// one trail of events are in tests/support.
#ifndef VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
#define VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_

#include "tests/support/jpeg_reader.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace velkaro::testing {

// Whether the wait cursor is up now: the probe the snapshot tests give the
// message box and the file prompt of tests/support.
inline bool WaitCursorUp() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// A widget of the picture's size that paints the picture.
class PictureView : public QWidget {
 public:
  explicit PictureView(QImage picture) : picture_(std::move(picture)) { resize(picture_.size()); }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, picture_); }

 private:
  QImage picture_;
};

// A picture whose rows are greys that differ a lot from row to row (by 73,
// or 183 across a wrap), so a picture taken one row off is plainly different.
inline QImage RowCodedPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const int grey = (y * 73) % 256;
    for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(grey, grey, grey));
  }
  return picture;
}

// The larger, over the three channels, of the mean absolute difference
// between the decoded picture's rows [picture_row, picture_row + rows) and
// `source` rows [source_row, source_row + rows), over the narrower width.
inline double MeanAbsDifference(const testing::DecodedJpeg& picture, int picture_row,
                                const QImage& source, int source_row, int rows) {
  double sums[3] = {0, 0, 0};
  const int width = std::min(picture.width, source.width());
  for (int t = 0; t < rows; ++t) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &picture.rgb[(size_t(picture_row + t) * picture.width + x) * 3];
      const QRgb s = source.pixel(x, source_row + t);
      sums[0] += std::abs(p[0] - qRed(s));
      sums[1] += std::abs(p[1] - qGreen(s));
      sums[2] += std::abs(p[2] - qBlue(s));
    }
  }
  return std::max({sums[0], sums[1], sums[2]}) / (double(rows) * width);
}

}  // namespace velkaro::testing

#endif  // VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
