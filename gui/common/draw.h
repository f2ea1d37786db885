#pragma once

#include <map>

#include <QImage>

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

  // The bitmap `id`, or a null image when the program carries none.
  const QImage& Bitmap(int id);

 private:
  std::map<int, QImage> loaded_;
};

}  // namespace velkaro
