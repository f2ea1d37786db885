#include "gui/common/draw.h"

#include <QPainter>
#include <QString>

namespace velkaro {

const QImage& CDraw::Bitmap(int id) {
  const int key = id & 0xFFFF;
  auto found = loaded_.find(key);
  if (found == loaded_.end()) {
    found = loaded_.emplace(key, QImage(QStringLiteral(":/bitmaps/%1").arg(key))).first;
  }
  return found->second;
}

void CDraw::DrawBitmap(QPainter& dc, int id, int x, int y, int cx, int cy) {
  const QImage& bitmap = Bitmap(id);
  if (bitmap.isNull() || cx <= 0 || cy <= 0) return;
  dc.drawImage(QRect(x, y, cx, cy), bitmap, bitmap.rect());
}

QRect CDraw::DrawBitmapFitted(QPainter& dc, int id, const QRect& area) {
  const QImage& bitmap = Bitmap(id);
  if (bitmap.isNull() || area.isEmpty()) return {};
  if (area.width() <= bitmap.width()) {
    dc.drawImage(area, bitmap, bitmap.rect());
    return area;
  }
  const QSize size = bitmap.size().scaled(area.size(), Qt::KeepAspectRatio);
  const QRect placed(area.left() + (area.width() - size.width()) / 2, area.top(), size.width(),
                     size.height());
  // Scaled once per size: a paint then only copies.
  QImage& scaled = scaled_[id & 0xFFFF];
  if (scaled.size() != size)
    scaled = bitmap.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  dc.drawImage(placed.topLeft(), scaled);
  return placed;
}

}  // namespace velkaro
