#include "tests/gui/snapshot/snapshot_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QCursor>
#include <QPainter>

namespace velkaro::test {

bool WaitCursorUp() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

PictureView::PictureView(QImage picture) : picture_(std::move(picture)) { resize(picture_.size()); }

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
}

QImage RowCodedPicture(int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    const int grey = (y * 73) % 256;  // neighbours differ by 73 (or 183 across a wrap)
    for (int x = 0; x < width; ++x) picture.setPixel(x, y, qRgb(grey, grey, grey));
  }
  return picture;
}

double MeanAbsDifference(const testing::DecodedJpeg& picture, int picture_row, const QImage& source,
                         int source_row, int rows) {
  double sums[3] = {0, 0, 0};
  const int width = std::min(picture.width, source.width());
  for (int t = 0; t < rows; ++t) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* p =
          &picture.rgb[(static_cast<size_t>(picture_row + t) * picture.width + x) * 3];
      const QRgb s = source.pixel(x, source_row + t);
      sums[0] += std::abs(p[0] - qRed(s));
      sums[1] += std::abs(p[1] - qGreen(s));
      sums[2] += std::abs(p[2] - qBlue(s));
    }
  }
  const double count = static_cast<double>(rows) * width;
  return std::max({sums[0], sums[1], sums[2]}) / count;
}

MeanColour MeanOver(const testing::DecodedJpeg& picture, int x0, int y0, int w, int h) {
  MeanColour mean;
  for (int y = y0; y < y0 + h; ++y) {
    for (int x = x0; x < x0 + w; ++x) {
      const unsigned char* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      mean.r += p[0];
      mean.g += p[1];
      mean.b += p[2];
    }
  }
  const double count = static_cast<double>(w) * h;
  mean.r /= count;
  mean.g /= count;
  mean.b /= count;
  return mean;
}

}  // namespace velkaro::test
