#include "gui/common/draw.h"
#include "gui/common/quick_start.h"
#include "gui/site_view/site_view.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/clock.h"
#include "site/site_projection.h"

#include <algorithm>
#include <cstdio>

#include <QFontMetrics>
#include <QPainter>

namespace velkaro {

namespace {

constexpr int kQuickStartBitmap = 137;
constexpr int kUnpaintedRows = 20;  // below the quick-start picture
constexpr int kMarkerHalf = 10;     // a marker fills (x-10, y-10)..(x+10, y+10)
constexpr int kReticleHalf = 16;

const QColor kLockedBand(0, 192, 0);
const QColor kUnlockedBand(192, 0, 0);
const QColor kZoomBand(0, 0, 192);

QRect ToQRect(const PlanRect& r) {
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

QFont CSiteView::BandFont() {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  font.setBold(true);
  return font;
}

QImage CSiteView::OnDraw() const {
  const int w = std::max(viewport()->width(), 1);
  const int h = std::max(viewport()->height(), 1);
  QImage picture(w, h, QImage::Format_RGB32);
  // What the plan or the quick-start picture leaves uncovered shows white.
  picture.fill(Qt::white);
  QPainter dc(&picture);

  // A loading plan whose picture is whole is shown as it will be once taken.
  const bool previewing = !preview_.isNull();
  if (!m_bPlanLoaded && !previewing) {
    // The handheld's picture, stretched, in the handheld's width; drawn
    // from its texts in a wider window, so that it stays sharp.
    const QImage& quick_start = draw_.Bitmap(kQuickStartBitmap);
    if (w <= quick_start.width()) {
      draw_.DrawBitmap(dc, kQuickStartBitmap, 0, 0, w, h - kUnpaintedRows);
    } else {
      DrawQuickStart(dc, QRect(0, 0, w, h - kUnpaintedRows));
    }
    DrawLoadProgress(dc, w, h);
    return picture;
  }
  const QImage& plan = previewing ? preview_ : m_bmpPlan;
  const CSitePlan& view = previewing ? preview_view_ : plan_;

  dc.setFont(BandFont());
  PlanRect dest = ClientRect();
  PlanRect source{};
  view.GetBlitRects(dest, source);
  const QRect to = ToQRect(dest);
  const QRect from = ToQRect(source);
  if (to.isValid() && from.isValid()) dc.drawImage(to, plan, from);

  for (const CSiteProjection::_tap& tap : projection_.m_taps) DrawTap(dc, view, tap.x, tap.y);
  if (highlighted_ >= 0 && static_cast<size_t>(highlighted_) < projection_.m_taps.size()) {
    const CSiteProjection::_tap& tap = projection_.m_taps[static_cast<size_t>(highlighted_)];
    int32_t sx = 0;
    int32_t sy = 0;
    if (view.PlanToScreen(ClientRect(), tap.x, tap.y, sx, sy)) {
      dc.setPen(QPen(kHighlightColor, 3));
      dc.drawEllipse(QPoint(sx, sy), kMarkerHalf + 4, kMarkerHalf + 4);
    }
  }
  if (const PointFit fit = FitPoints(projection_.m_taps); fit.fitted()) {
    for (size_t i = 0; i < fit.points.size(); ++i) {
      const CSiteProjection::_tap& tap = projection_.m_taps[i];
      DrawResidual(dc, view, tap.x, tap.y, fit.points[i]);
    }
  }

  const int text_height = QFontMetrics(dc.font()).height();
  DrawStatusLine(dc, w, text_height);
  DrawZoomLine(dc, view, w, text_height);

  if (!m_bmpReticle.isNull()) {
    // AND: the reticle's white leaves the plan as it is.
    dc.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    dc.drawImage(w / 2 - kReticleHalf, h / 2 - kReticleHalf, m_bmpReticle);
    dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  DrawAveraging(dc, w, h);
  DrawLoadProgress(dc, w, h);
  return picture;
}

void CSiteView::DrawAveraging(QPainter& dc, int w, int h) const {
  if (!average_) return;
  const QString text =
      QString::fromStdString(AveragingText()) + QStringLiteral("\nEsc cancels");
  const QFontMetrics metrics(dc.font());
  const QRect box = metrics.boundingRect(QRect(0, 0, w - 8, h), Qt::AlignCenter | Qt::TextWordWrap, text)
                        .adjusted(-4, -3, 4, 3);
  // Under the reticle, clear of the spot being averaged.
  const QRect placed(std::max((w - box.width()) / 2, 0), std::min(h / 2 + 2 * kReticleHalf, h - box.height()),
                     box.width(), box.height());
  dc.fillRect(placed, QColor(0, 0, 0, 180));
  dc.setPen(Qt::white);
  dc.drawText(placed, Qt::AlignCenter | Qt::TextWordWrap, text);
}

void CSiteView::DrawTap(QPainter& dc, const CSitePlan& view, int32_t x, int32_t y) const {
  int32_t sx = 0;
  int32_t sy = 0;
  if (!view.PlanToScreen(ClientRect(), x, y, sx, sy)) return;
  dc.setPen(QPen(Qt::black, 1));
  dc.setBrush(Qt::black);
  dc.drawEllipse(QRect(sx - kMarkerHalf, sy - kMarkerHalf, 2 * kMarkerHalf, 2 * kMarkerHalf));
  dc.setBrush(Qt::NoBrush);
}

void CSiteView::DrawResidual(QPainter& dc, const CSitePlan& view, int32_t x, int32_t y,
                             const PointResidual& residual) const {
  int32_t sx = 0;
  int32_t sy = 0;
  if (!view.PlanToScreen(ClientRect(), x, y, sx, sy)) return;
  const double length = residual.pixels * view.Scale();
  if (!(length >= 0.5)) return;  // nothing to see, or not a number
  const QPointF unit(residual.dx / residual.pixels, residual.dy / residual.pixels);
  const QPointF from = QPointF(sx, sy) + unit * kMarkerHalf;
  dc.setPen(QPen(residual.flagged ? kFlaggedResidualColor : kResidualColor, 2));
  dc.drawLine(from, from + unit * std::min(length, double{kMaxResidualLine}));
}

void CSiteView::DrawStatusLine(QPainter& dc, int w, int text_height) const {
  const CGpsData gps = gps_.Read();
  char line[CGpsData::kFixLineSize];
  gps.FormatFix(line);
  const QRect band(0, 0, w, text_height + 2);
  band_locked_ = gps.IsLockedAt(clock_.NowMonotonicMs());
  dc.fillRect(band, band_locked_ ? kLockedBand : kUnlockedBand);
  dc.setPen(Qt::white);
  dc.drawText(band, Qt::AlignCenter, QString::fromLatin1(line));
}

void CSiteView::DrawZoomLine(QPainter& dc, const CSitePlan& view, int w,
                             int text_height) const {
  char line[64];
  std::snprintf(line, sizeof line, "ZOOM=%d%%  REF PTS=%d", view.ZoomPercent(),
                static_cast<int>(projection_.m_taps.size()));
  const QRect band(0, text_height, w, text_height);
  dc.fillRect(band, kZoomBand);
  dc.setPen(Qt::white);
  dc.drawText(band, Qt::AlignCenter, QString::fromLatin1(line));
}

}  // namespace velkaro
