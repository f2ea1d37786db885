#include "gui/snapshot/capture.h"

#include <cstddef>
#include <cstring>

#include <QImage>
#include <QPainter>
#include <QSize>

namespace velkaro {

namespace {

// The view's picture at one image pixel per layout pixel, with one white
// row under it unless it is in the handheld's layout, whose lowest row is
// the one the writer skips.
QImage LayoutPicture(const QImage& view_picture, bool& layout) {
  QImage picture = view_picture;
  if (picture.devicePixelRatio() != 1.0) {
    const QSize logical = picture.deviceIndependentSize().toSize();
    picture = picture.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(1.0);
  }
  layout = InHandheldLayout(picture.width(), picture.height());
  if (!layout && !picture.isNull()) {
    QImage extended(picture.width(), picture.height() + 1, QImage::Format_RGB32);
    if (extended.isNull()) return extended;  // could not be allocated
    extended.fill(Qt::white);
    QPainter(&extended).drawImage(0, 0, picture);
    picture = extended;
  }
  // RGB888 stores each pixel as red, green, blue bytes: the order the writer
  // is given, where the handheld's bitmap held blue first and was swapped.
  return picture.convertToFormat(QImage::Format_RGB888);
}

}  // namespace

SnapshotCapture CaptureForSnapshot(const QImage& view_picture) {
  SnapshotCapture capture;
  if (view_picture.isNull()) return capture;
  bool layout = false;
  const QImage picture = LayoutPicture(view_picture, layout);
  if (picture.isNull()) return capture;  // the copy could not be allocated

  capture.width = picture.width();
  capture.height = picture.height();
  capture.picture_height = layout ? kSnapshotHeight : capture.height - 1;
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
