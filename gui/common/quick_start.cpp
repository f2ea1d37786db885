#include "gui/common/quick_start.h"

#include <QFont>
#include <QPainter>
#include <QString>

namespace velkaro {

namespace {

constexpr int kWidth = 240;  // the picture the layout comes from
constexpr int kHeight = 265;

// The steps as the picture shows them: a number starts a step, the lines
// after it continue it.
const char* const kSteps[] = {
    "1. Connect to the board.",
    "2. Open an image file with the",
    "first button.",
    "3. Wait for GPS lock.",
    "4. Walk or drive to known",
    "locations.",
    "5. Tap the known position on",
    "the map.",
    "6. Save the file after the",
    "message that the geocode",
    "was successful.",
};

}  // namespace

void DrawQuickStart(QPainter& dc, const QRect& area) {
  dc.fillRect(area, Qt::black);
  if (area.isEmpty()) return;
  const QSize size = QSize(kWidth, kHeight).scaled(area.size(), Qt::KeepAspectRatio);
  dc.save();
  dc.setRenderHint(QPainter::TextAntialiasing);
  dc.setRenderHint(QPainter::Antialiasing);
  dc.translate(area.left() + (area.width() - size.width()) / 2, area.top());
  const double scale = size.width() / double{kWidth};
  dc.scale(scale, scale);
  dc.setPen(Qt::white);

  QFont title(QStringLiteral("Liberation Sans"));
  title.setStyleHint(QFont::SansSerif);
  title.setBold(true);
  title.setPixelSize(19);
  dc.setFont(title);
  dc.drawText(QRect(0, 12, kWidth, 24), Qt::AlignHCenter | Qt::AlignTop,
              QStringLiteral("Quick Start"));
  dc.drawLine(QPointF(20, 42), QPointF(220, 42));

  QFont text = title;
  text.setBold(false);
  text.setPixelSize(13);
  dc.setFont(text);
  int y = 46;
  for (const char* step : kSteps) {
    QString line = QString::fromLatin1(step);
    if (line.size() > 1 && line[0].isDigit() && line[1] == QLatin1Char('.')) {
      y += 6;
      dc.drawText(QRect(10, y, 16, 16), Qt::AlignLeft | Qt::AlignTop, line.left(2));
      line = line.mid(3);
    }
    dc.drawText(QRect(26, y, kWidth - 26, 16), Qt::AlignLeft | Qt::AlignTop, line);
    y += 16;
  }
  dc.restore();
}

}  // namespace velkaro
