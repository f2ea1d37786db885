// The status view: the board's identity lines before and after it answers,
// their positions, and the one-way switch to the site view.
#include "tests/support/gui/gui_rig.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace velkaro::testing {
namespace {

// The line as the view should show it: black on a white band as wide as the
// text, centred across a `width`-wide row.
QImage ExpectedLine(const QString& text, int width, const QImage& background, int top) {
  QImage row = Rows(background, top, QFontMetrics(CVelkaroView::TextFont()).height());
  QPainter dc(&row);
  dc.setFont(CVelkaroView::TextFont());
  const int text_width = QFontMetrics(dc.font()).horizontalAdvance(text);
  dc.fillRect((width - text_width) / 2, 0, text_width, row.height(), Qt::white);
  dc.setPen(Qt::black);
  dc.drawText(QRect(0, 0, width, row.height()), Qt::AlignHCenter | Qt::AlignTop, text);
  return row;
}

// The picture without any text: the title bitmap over white.
QImage Background(CDraw& draw, int w, int h) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(Qt::white);
  QPainter dc(&picture);
  draw.DrawBitmap(dc, 131, 0, 0, w, h - 20);
  return picture;
}

TEST(StatusView, ShowsTheIdentityTextsThenTheFirstPressSwitchesToTheSiteViewForGood) {
  Rig rig;
  rig.Start();
  CVelkaroView* view = rig.Frame().StatusView();
  ASSERT_EQ(view->size(), QSize(240, 285));
  const QImage background = Background(rig.draw, 240, 285);
  const int h = QFontMetrics(CVelkaroView::TextFont()).height();

  QImage shown = view->OnDraw();
  EXPECT_EQ(Rows(shown, 142, h), ExpectedLine("(Firmware 0.00)", 240, background, 142));
  EXPECT_EQ(Rows(shown, 170, h), ExpectedLine("(SN XXXXXX)", 240, background, 170));

  rig.SendFirmware("1.03");
  rig.SendSerial("A1B2C3");
  shown = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(Rows(shown, 142, h), ExpectedLine("(Firmware 1.03)", 240, background, 142));
  EXPECT_EQ(Rows(shown, 170, h), ExpectedLine("(SN A1B2C3)", 240, background, 170));
  EXPECT_NE(Rows(shown, 142, h), ExpectedLine("(Firmware 0.00)", 240, background, 142));

  // The first press, even on a text line, beeps and switches for good.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(120, 150));
  EXPECT_EQ(rig.beeps, 1);
  ASSERT_NE(rig.Frame().SiteView(), nullptr);
  EXPECT_EQ(rig.Frame().ActiveView(), rig.Frame().SiteView());
  EXPECT_FALSE(view->isVisible());
  EXPECT_TRUE(rig.Frame().SiteView()->isVisible());

  CSiteView* site = rig.Frame().SiteView();
  rig.Frame().SwitchView(ViewClass::kSite, 2);
  EXPECT_EQ(rig.Frame().SiteView(), site) << "no second site view";
  EXPECT_EQ(rig.Frame().ActiveView(), site);
}

TEST(DrawBitmap, AnIdWithoutABitmapDrawsNothing) {
  CDraw draw;
  QImage target(40, 40, QImage::Format_RGB32);
  target.fill(Qt::red);
  const QImage before = target;
  {
    QPainter dc(&target);
    draw.DrawBitmap(dc, 9999, 0, 0, 40, 40);
    draw.DrawBitmap(dc, 0x10000 | 9999, 0, 0, 40, 40);
  }
  EXPECT_EQ(target, before);
}

}  // namespace
}  // namespace velkaro::testing
