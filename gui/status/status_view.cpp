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
constexpr int kTitleHeight = 265;   // the title picture's rows
// Where the handheld's 285-row view puts the two lines.
constexpr int kFirstLineRow = 142;
constexpr int kSecondLineRow = 170;
constexpr int kSiteViewControlId = 2;

// One line, centred across the view at `top`, black on a white band as wide
// as the text.
void DrawLine(QPainter& dc, const QString& text, int top, int left, int width, int height) {
  const QFontMetrics metrics(dc.font());
  const int text_width = metrics.horizontalAdvance(text);
  const QRect band(left + (width - text_width) / 2, top, text_width, height);
  dc.fillRect(band, Qt::white);
  dc.setPen(Qt::black);
  dc.drawText(QRect(left, top, width, height), Qt::AlignHCenter | Qt::AlignTop, text);
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
  const QRect title = draw_.DrawBitmapFitted(dc, kTitleBitmap, QRect(0, 0, w, h - kUnpaintedRows));
  // The lines sit in the picture's pale band, at the handheld's rows (h / 2
  // and h / 10 + h / 2 of its 285) scaled with the picture, in a font
  // scaled with it.
  const double scale = title.isEmpty() ? 1.0 : title.height() / double{kTitleHeight};
  const bool designed = title.isEmpty() || title == QRect(0, 0, w, h - kUnpaintedRows);
  QFont font = TextFont();
  font.setPixelSize(std::max(1, int(font.pixelSize() * scale + 0.5)));
  dc.setFont(font);
  const int text_height = QFontMetrics(dc.font()).height();
  const int across = designed ? w : title.width();
  const int left = designed ? 0 : title.left();
  const int first = designed ? h / 2 : title.top() + int(kFirstLineRow * scale + 0.5);
  const int second =
      designed ? h / 10 + h / 2 : title.top() + int(kSecondLineRow * scale + 0.5);

  // Each line is formatted into 128 bytes: a longer text is cut, never
  // written past the buffer.
  char firmware[CEngine::kFirmwareSize];
  engine_.GetFirmware(firmware);
  char line[128];
  std::snprintf(line, sizeof line, "(Firmware %.116s)", firmware);
  DrawLine(dc, QString::fromLatin1(line), first, left, across, text_height);

  char serial[CEngine::kSerialSize];
  engine_.GetSerial(serial);
  std::snprintf(line, sizeof line, "(SN %.121s)", serial);
  DrawLine(dc, QString::fromLatin1(line), second, left, across, text_height);
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
