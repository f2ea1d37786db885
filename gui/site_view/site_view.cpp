#include "gui/site_view/site_view.h"

#include "gui/common/sound.h"
#include "gui/site_view/show_outcome.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "site/geocode.h"
#include "site/point_fit.h"
#include "site/site_projection.h"

#include <cmath>
#include <cstdio>

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace velkaro {

namespace {

constexpr int kReticleBitmap = 132;

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
  viewport()->setMouseTracking(true);  // the plan pixel under the pointer
  setFocusPolicy(Qt::StrongFocus);     // Space to drag, Escape to cancel
  setFrameShape(QFrame::NoFrame);
  average_timer_.setInterval(kAveragePollMs);
  connect(&average_timer_, &QTimer::timeout, this, &CSiteView::PollAverage);
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
    dragging_ = false;
    press_point_ = point;
    if (space_held_)
      StartDrag(point);
    else
      hold_timer_.start();
  } else if (event->button() == Qt::MiddleButton) {
    StartDrag(point);
  }
  event->accept();
}

void CSiteView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  NoteCursor(point);
  if (left_pressed_ && !dragging_ &&
      (point - press_point_).manhattanLength() > kDragSlopPixels) {
    // Moving: not a hold, and not a capture either, since the spot under
    // the finger is no longer the one pressed.
    hold_timer_.stop();
    StartDrag(press_point_);
  }
  if (dragging_) DragTo(point);
  event->accept();
}

void CSiteView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && left_pressed_) {
    left_pressed_ = false;
    hold_timer_.stop();
    if (dragging_)
      dragging_ = false;
    else
      OnTap(press_point_);
  } else if (event->button() == Qt::MiddleButton) {
    dragging_ = false;
  }
  event->accept();
}

void CSiteView::keyPressEvent(QKeyEvent* event) {
  const bool zoom_key = event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal ||
                        event->key() == Qt::Key_Minus;
  if (event->key() == Qt::Key_Escape && average_) {
    CancelAverage();
  } else if (zoom_key && !(event->modifiers() & Qt::ControlModifier)) {
    // About the pointer when it is over the plan, else about the centre.
    const QPoint pointer = viewport()->mapFromGlobal(QCursor::pos());
    const QPoint at = viewport()->rect().contains(pointer) ? pointer : viewport()->rect().center();
    ZoomAbout(event->key() != Qt::Key_Minus, at);
  } else if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat()) space_held_ = true;
  } else {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

void CSiteView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  // A notch is 120; touchpads send less at a time, summed until a notch.
  wheel_sum_ += event->angleDelta().y();
  while (wheel_sum_ >= 120 || wheel_sum_ <= -120) {
    ZoomAbout(wheel_sum_ > 0, event->position().toPoint());
    wheel_sum_ += wheel_sum_ > 0 ? -120 : 120;
  }
  event->accept();
}

void CSiteView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) space_held_ = false;
  QAbstractScrollArea::keyReleaseEvent(event);
}

void CSiteView::leaveEvent(QEvent* event) {
  cursor_pixel_.reset();
  emit cursorMoved();
  QAbstractScrollArea::leaveEvent(event);
}

void CSiteView::NoteCursor(const QPoint& point) {
  std::optional<QPoint> pixel;
  if (m_bPlanLoaded && !loading_) {
    int32_t px = 0, py = 0;
    plan_.ScreenToPlan(ClientRect(), point.x(), point.y(), px, py);
    const PlanRect extent = plan_.GetPlan();
    if (px >= extent.left && py >= extent.top && px < extent.right && py < extent.bottom)
      pixel = QPoint(px, py);
  }
  if (pixel == cursor_pixel_) return;
  cursor_pixel_ = pixel;
  emit cursorMoved();
}

std::string CSiteView::CursorText() const {
  if (!cursor_pixel_ || !m_bPlanLoaded) return "";
  char text[96];
  std::snprintf(text, sizeof text, "plan pixel (%d, %d)", cursor_pixel_->x(), cursor_pixel_->y());
  std::string line = text;
  const PointFit fit = FitPoints(projection_.m_taps);
  PixelToDegrees inverse;
  if (fit.fitted() && InvertGeocode(fit.geocode, inverse)) {
    const double col = cursor_pixel_->x(), row = cursor_pixel_->y();
    const double lat = inverse.Lat(col, row), lon = inverse.Lon(col, row);
    std::snprintf(text, sizeof text, "  %.7f %c %.7f %c", std::fabs(lat), lat < 0 ? 'S' : 'N',
                  std::fabs(lon), lon < 0 ? 'W' : 'E');
    line += text;
  }
  return line;
}

void CSiteView::StartDrag(const QPoint& point) {
  dragging_ = m_bPlanLoaded && !loading_;
  press_point_ = point;
  drag_center_x_ = plan_.GetCenterX();
  drag_center_y_ = plan_.GetCenterY();
}

// The plan follows the pointer: the pixel pressed stays under it.
void CSiteView::DragTo(const QPoint& point) {
  if (!m_bPlanLoaded || loading_) return;
  const PlanRect client = ClientRect();
  int32_t from_x = 0, from_y = 0, to_x = 0, to_y = 0;
  plan_.ScreenToPlan(client, press_point_.x(), press_point_.y(), from_x, from_y);
  plan_.ScreenToPlan(client, point.x(), point.y(), to_x, to_y);
  plan_.SetCenterX(drag_center_x_ - (to_x - from_x));
  plan_.SetCenterY(drag_center_y_ - (to_y - from_y));
  SyncScrollPositions();
  viewport()->update();
}

void CSiteView::HoldTimedOut() {
  if (!left_pressed_) return;
  left_pressed_ = false;  // the release that follows is not a tap
  OnHold(press_point_);
}

void CSiteView::OnHold(const QPoint& point) {
  if (average_ || RefusedWhileLoading()) return;
  int32_t px = 0;
  int32_t py = 0;
  plan_.ScreenToPlan(ClientRect(), point.x(), point.y(), px, py);
  if (projection_.FindNearestTap(px, py) != 0) return;
  // The question names no point: show which one it is about while it is open.
  highlighted_ = projection_.m_selected;
  viewport()->repaint();
  const bool yes = messages_.AskYesNo("Do you wish to delete this point?");
  highlighted_ = -1;
  if (yes) ShowOutcome(projection_.DeleteSelectedTap(), messages_, waves_);
  viewport()->update();
}

void CSiteView::OnTap(const QPoint& point) {
  // A second tap while a window is open would be taken at the same spot.
  if (average_ || RefusedWhileLoading()) return;
  // One copy of the whole record: the tap takes the very position that was
  // locked, even while the link worker publishes a newer one.
  const CGpsData position = gps_.Read();
  const int64_t now_ms = clock_.NowMonotonicMs();
  if (!position.IsLockedAt(now_ms)) {
    messages_.ShowOk(kNotLockedText);
    return;
  }
  if (m_bPlanLoaded) {
    int32_t px = 0;
    int32_t py = 0;
    plan_.ScreenToPlan(ClientRect(), point.x(), point.y(), px, py);
    const PlanRect extent = plan_.GetPlan();
    if (px < extent.left || py < extent.top || px >= extent.right || py >= extent.bottom) {
      messages_.ShowOk(kBeyondEdgeText);
      return;
    }
  }
  if (const std::string refused = AccuracyRefusal(position, capture_.min_accuracy);
      !refused.empty()) {
    messages_.ShowOk(refused);
    return;
  }
  plan_.CenterOnScreenPoint(ClientRect(), point.x(), point.y());
  SyncScrollPositions();
  if (capture_.average_ms > 0) {
    // The spot is under the reticle while the fixes come in.
    average_.emplace(position, now_ms, capture_.average_ms);
    average_x_ = plan_.GetCenterX();
    average_y_ = plan_.GetCenterY();
    average_timer_.start();
    setFocus();  // for Escape
    viewport()->update();
    return;
  }
  StoreTap(plan_.GetCenterX(), plan_.GetCenterY(), position, nullptr);
}

void CSiteView::PollAverage() {
  if (!average_) return;
  const int64_t now_ms = clock_.NowMonotonicMs();
  switch (average_->Update(gps_.Read(), now_ms)) {
    case FixAverage::Progress::kGathering:
      viewport()->update();
      return;
    case FixAverage::Progress::kLockLost:
      CancelAverage();
      messages_.ShowOk(kNotLockedText);
      return;
    case FixAverage::Progress::kDone: {
      const FixAverage done = *average_;
      CancelAverage();
      StoreTap(average_x_, average_y_, done.Mean(), &done);
      return;
    }
  }
}

void CSiteView::CancelAverage() {
  average_timer_.stop();
  average_.reset();
  viewport()->update();
}

void CSiteView::StoreTap(int32_t x, int32_t y, const CGpsData& position,
                         const FixAverage* average) {
  PlayWaveAsync(waves_, "PING");
  ShowOutcome(average != nullptr ? projection_.AddAveragedTap(x, y, position,
                                                              average->SpreadMetres(),
                                                              average->fixes())
                                 : projection_.AddTap(x, y, position),
              messages_, waves_);
  emit documentChanged();
  // From the fifth point on, say so exactly when these points give a valid
  // geocode: solve them first, as saving will, then check the result.
  if (projection_.m_taps.size() >= static_cast<size_t>(CSiteProjection::kMinTapsToSave)) {
    projection_.Solve();
    if (projection_.Validate()) {
      // A point far off the fit of the others is named under the designed
      // text, so the user does not save it unknowingly.
      std::string text = "You now have a valid geocode solution. Please save file.";
      const std::string off = OffTheFitText(FitPoints(projection_.m_taps));
      if (!off.empty()) text += "\n" + off;
      messages_.ShowOk(text);
    }
  }
  viewport()->update();
}

std::string CSiteView::AveragingText() const {
  if (!average_) return "";
  const int64_t now_ms = clock_.NowMonotonicMs();
  char text[128];
  std::snprintf(text, sizeof text, "averaging: %.1f s left, %d %s, spread %.1f m",
                static_cast<double>(average_->RemainingMs(now_ms)) / 1000.0, average_->fixes(),
                average_->fixes() == 1 ? "fix" : "fixes", average_->SpreadMetres());
  return text;
}

void CSiteView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  const PlanRect client = ClientRect();
  const bool shaped = client.right - client.left > kHandheldWidth;
  plan_.UseClientShape(shaped);
  preview_view_.UseClientShape(shaped);
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
