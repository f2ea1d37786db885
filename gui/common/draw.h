#pragma once

#include <map>

#include <QImage>
#include <QRect>

class QPainter;

namespace velkaro {

// Stretches the program's bitmap resources (":/bitmaps/<id>") into
// rectangles. UI thread only; loaded bitmaps are kept for the next paint.
class CDraw {
 public:
  virtual ~CDraw() = default;

  // Draws bitmap `id` (low 16 bits) stretched onto (x, y, cx, cy) of `dc`
  // as a plain copy. An id that names no bitmap draws nothing.
  void DrawBitmap(QPainter& dc, int id, int x, int y, int cx, int cy);

  // Draws bitmap `id` into `area`: stretched as DrawBitmap does while the
  // area is no wider than the bitmap (the handheld's layout), else scaled
  // smoothly to the largest size that keeps its proportions, centred
  // across and at the top. Returns where it went (empty when nothing was
  // drawn).
  QRect DrawBitmapFitted(QPainter& dc, int id, const QRect& area);

  // The bitmap `id`, or a null image when the program carries none.
  const QImage& Bitmap(int id);

 private:
  std::map<int, QImage> loaded_;
  std::map<int, QImage> scaled_;  // each at the last size it was fitted to
};

}  // namespace velkaro
