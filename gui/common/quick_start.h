#pragma once

#include <QRect>

class QPainter;

namespace velkaro {

// The quick-start steps drawn from their texts, white on black, laid out as
// the handheld's 240 x 265 quick-start picture and scaled to the largest
// size that keeps its proportions in `area` (centred across, at the top),
// so that they are sharp at any size. Fills `area` black.
void DrawQuickStart(QPainter& dc, const QRect& area);

}  // namespace velkaro
