#include "gui/site_view/site_view.h"

#include "gui/common/sound.h"
#include "gui/site_view/show_outcome.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "site/site_projection.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

namespace velkaro {

namespace {

constexpr int kReticleBitmap = 132;
// A press that wanders further than this is no longer a hold.
constexpr int kHoldSlopPixels = 4;

}  // namespace

CSiteView::CSiteView(CSitePlan& plan, CSiteProjection& projection, const Published<CGpsData>& gps,
                     IClock& clock, CDraw& draw, IMessageBox& messages, IWavePlayer& waves,
                     IFilePrompt& files, QWidget* parent)
    : QAbstractScrollArea(parent),
      plan_(plan),
      projection_(projection),
      gps_(gps),
      clock_(clock),
      draw_(draw),
      messages_(messages),
      waves_(waves),
      files_(files) {
  m_bmpReticle = QImage(QStringLiteral(":/bitmaps/%1").arg(kReticleBitmap))
                     .convertToFormat(QImage::Format_RGB32);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFrameShape(QFrame::NoFrame);
  hold_timer_.setSingleShot(true);
  hold_timer_.setInterval(kHoldMs);
  connect(&hold_timer_, &QTimer::timeout, this, &CSiteView::HoldTimedOut);
  lock_repaint_timer_.setSingleShot(true);
  lock_repaint_timer_.setInterval(kLockRepaintMs);
  connect(&lock_repaint_timer_, &QTimer::timeout, viewport(),
          static_cast<void (QWidget::*)()>(&QWidget::update));
  connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnScrollAction(Qt::Horizontal, action); });
  connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this](int action) { OnScrollAction(Qt::Vertical, action); });
}

void CSiteView::OnInitialUpdate() {
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setRange(0, 0);
    bar->setSingleStep(10);
  }
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

PlanRect CSiteView::ClientRect() const { return {0, 0, viewport()->width(), viewport()->height()}; }

void CSiteView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.drawImage(0, 0, OnDraw());
  if (band_locked_ && !lock_repaint_timer_.isActive()) lock_repaint_timer_.start();
}

void CSiteView::mousePressEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (event->button() == Qt::RightButton) {
    left_pressed_ = false;
    hold_timer_.stop();
    OnHold(point);
  } else if (event->button() == Qt::LeftButton) {
    left_pressed_ = true;
    press_point_ = point;
    hold_timer_.start();
  }
  event->accept();
}

void CSiteView::mouseMoveEvent(QMouseEvent* event) {
  if (left_pressed_ && hold_timer_.isActive() &&
      (event->position().toPoint() - press_point_).manhattanLength() > kHoldSlopPixels) {
    hold_timer_.stop();  // moving: a tap when released
  }
  event->accept();
}

void CSiteView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && left_pressed_) {
    left_pressed_ = false;
    hold_timer_.stop();
    OnTap(press_point_);
  }
  event->accept();
}

void CSiteView::HoldTimedOut() {
  if (!left_pressed_) return;
  left_pressed_ = false;  // the release that follows is not a tap
  OnHold(press_point_);
}

void CSiteView::OnHold(const QPoint& point) {
  if (RefusedWhileLoading()) return;
  int32_t px = 0;
  int32_t py = 0;
  plan_.ScreenToPlan(ClientRect(), point.x(), point.y(), px, py);
  if (projection_.FindNearestTap(px, py) != 0) return;
  if (messages_.AskYesNo("Do you wish to delete this point?")) {
    ShowOutcome(projection_.DeleteSelectedTap(), messages_, waves_);
    viewport()->update();
  }
}

void CSiteView::OnTap(const QPoint& point) {
  if (RefusedWhileLoading()) return;
  // One copy of the whole record: the tap takes the very position that was
  // locked, even while the link worker publishes a newer one.
  const CGpsData position = gps_.Read();
  if (!position.IsLockedAt(clock_.NowMonotonicMs())) {
    messages_.ShowOk("GPS is not locked. Wait until GPS is locked.");
    return;
  }
  PlayWaveAsync(waves_, "PING");
  plan_.CenterOnScreenPoint(ClientRect(), point.x(), point.y());
  SyncScrollPositions();
  ShowOutcome(projection_.AddTap(plan_.GetCenterX(), plan_.GetCenterY(), position), messages_,
              waves_);
  // From the fifth point on, say so exactly when these points give a valid
  // geocode: solve them first, as saving will, then check the result.
  if (projection_.m_taps.size() >= static_cast<size_t>(CSiteProjection::kMinTapsToSave)) {
    projection_.Solve();
    if (projection_.Validate()) {
      messages_.ShowOk("You now have a valid geocode solution. Please save file.");
    }
  }
  viewport()->update();
}

void CSiteView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const PlanRect client = ClientRect();
  if (!preview_.isNull())
    preview_view_.ResizeClient(client.left, client.top, client.right, client.bottom);
  // Before a plan there is no viewport to keep; the set-up after the load
  // reads the client as it is then.
  if (!m_bPlanLoaded) return;
  plan_.ResizeClient(client.left, client.top, client.right, client.bottom);
  SetPageSteps();
  SyncScrollPositions();
  viewport()->update();
}

void CSiteView::SetPageSteps() {
  const QSignalBlocker block_h(horizontalScrollBar());
  const QSignalBlocker block_v(verticalScrollBar());
  verticalScrollBar()->setPageStep(std::max(viewport()->height(), 1));
  horizontalScrollBar()->setPageStep(std::max(viewport()->width(), 1));
}

void CSiteView::SyncScrollPositions() {
  const QSignalBlocker block_h(horizontalScrollBar());
  const QSignalBlocker block_v(verticalScrollBar());
  horizontalScrollBar()->setSliderPosition(plan_.GetCenterX());
  verticalScrollBar()->setSliderPosition(plan_.GetCenterY());
}

}  // namespace velkaro
