#include "gui/status/status_view.h"

#include "link/engine.h"
#include "gui/common/view_switcher.h"
#include "gui/common/draw.h"

#include <cstdio>

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

namespace velkaro {

namespace {

constexpr int kTitleBitmap = 131;
constexpr int kUnpaintedRows = 20;  // below the title picture
constexpr int kSiteViewControlId = 2;

// One line, centred across the view at `top`, black on a white band as wide
// as the text.
void DrawLine(QPainter& dc, const QString& text, int top, int width, int height) {
  const QFontMetrics metrics(dc.font());
  const int text_width = metrics.horizontalAdvance(text);
  const QRect band((width - text_width) / 2, top, text_width, height);
  dc.fillRect(band, Qt::white);
  dc.setPen(Qt::black);
  dc.drawText(QRect(0, top, width, height), Qt::AlignHCenter | Qt::AlignTop, text);
}

}  // namespace

CVelkaroView::CVelkaroView(const CEngine& engine, CDraw& draw, IViewSwitcher& switcher,
                           std::function<void()> beep, QWidget* parent)
    : QWidget(parent), engine_(engine), draw_(draw), switcher_(switcher), beep_(std::move(beep)) {
  // Every paint covers the whole area from the off-screen picture.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QFont CVelkaroView::TextFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  return font;
}

QImage CVelkaroView::OnDraw() const {
  const int w = width();
  const int h = height();
  QImage picture(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
  // The strip below the picture is not drawn on; it shows white.
  picture.fill(Qt::white);
  QPainter dc(&picture);
  draw_.DrawBitmap(dc, kTitleBitmap, 0, 0, w, h - kUnpaintedRows);

  dc.setFont(TextFont());
  const int text_height = QFontMetrics(dc.font()).height();

  // Each line is formatted into 128 bytes: a longer text is cut, never
  // written past the buffer.
  char firmware[CEngine::kFirmwareSize];
  engine_.GetFirmware(firmware);
  char line[128];
  std::snprintf(line, sizeof line, "(Firmware %.116s)", firmware);
  DrawLine(dc, QString::fromLatin1(line), h / 2, w, text_height);

  char serial[CEngine::kSerialSize];
  engine_.GetSerial(serial);
  std::snprintf(line, sizeof line, "(SN %.121s)", serial);
  DrawLine(dc, QString::fromLatin1(line), h / 10 + h / 2, w, text_height);
  return picture;
}

void CVelkaroView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, OnDraw());
}

void CVelkaroView::mousePressEvent(QMouseEvent* event) {
  OnLButtonDown(event->position().toPoint());
  QWidget::mousePressEvent(event);
}

void CVelkaroView::OnLButtonDown(const QPoint&) {
  if (beep_) {
    beep_();
  } else {
    QApplication::beep();
  }
  switcher_.SwitchView(ViewClass::kSite, kSiteViewControlId);
}

}  // namespace velkaro
