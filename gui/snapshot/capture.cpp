#include "gui/snapshot/capture.h"

#include <cstddef>
#include <cstring>

#include <QImage>
#include <QSize>

namespace velkaro {

namespace {

bool FitsThePicture(const QSize& size) {
  return size.width() == kSnapshotWidth && size.height() >= kCaptureMinHeight;
}

// The view's picture at one image pixel per layout pixel, in the shape the
// writer's row arithmetic assumes.
QImage LayoutPicture(const QImage& view_picture) {
  QImage picture = view_picture;
  if (picture.devicePixelRatio() != 1.0) {
    const QSize logical = picture.deviceIndependentSize().toSize();
    picture = picture.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(1.0);
  }
  if (!FitsThePicture(picture.size())) {
    picture = picture.scaled(kSnapshotWidth, kCaptureMinHeight, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
  }
  // RGB888 stores each pixel as red, green, blue bytes: the order the writer
  // is given, where the handheld's bitmap held blue first and was swapped.
  return picture.convertToFormat(QImage::Format_RGB888);
}

}  // namespace

SnapshotCapture CaptureForSnapshot(const QImage& view_picture) {
  SnapshotCapture capture;
  if (view_picture.isNull()) return capture;
  const QImage picture = LayoutPicture(view_picture);
  if (picture.isNull()) return capture;  // the scaled copy could not be allocated

  capture.width = picture.width();
  capture.height = picture.height();
  const std::size_t row_bytes = static_cast<std::size_t>(capture.width) * 3;
  capture.pixels.resize(row_bytes * static_cast<std::size_t>(capture.height));
  // QImage pads its rows to four bytes; the capture's rows are packed.
  for (int k = 0; k < capture.height; ++k) {
    const uchar* window_row = picture.constScanLine(capture.height - 1 - k);
    std::memcpy(capture.pixels.data() + static_cast<std::size_t>(k) * row_bytes, window_row,
                row_bytes);
  }
  return capture;
}

}  // namespace velkaro
