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

}  // namespace velkaro
