// Loading a plan off the window's thread. The worker reads the file into a
// value of its own (PlanLoad) and posts it back; everything the window
// shows or the model holds changes here, on the UI thread, once the whole
// plan is in memory. Until then the old plan stays on screen and anything
// that would act on a plan is refused. A projection file's side files are
// committed by the worker after that, while the plan is worked on.
#include "gui/site_view/site_view.h"
#include "platform/message_box.h"

#include <memory>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPainter>

namespace velkaro {

namespace {

// Often enough for the progress to look alive.
constexpr int kLoadRepaintMs = 100;
const QColor kProgressBand(160, 200, 255);  // light, so the text reads on it

}  // namespace

CSiteView::~CSiteView() {
  // The result posted back to a destroyed view is dropped by Qt; only the
  // thread must not outlive the view. A commit under way is finished first.
  if (loader_.joinable()) loader_.join();
}

void CSiteView::StartLoad(std::function<PlanLoad(const LoadProgress&, const PlanPreview&)> work,
                          std::function<void(PlanLoad&)> finish) {
  // The worker may still be committing the last plan's side files, which
  // this load may be about to replace.
  WaitForSideFiles();
  if (loader_.joinable()) loader_.join();  // a finished worker not yet joined
  loading_ = true;
  finish_ = std::move(finish);
  load_permille_ = 0;
  load_clock_.start();
  busy_.emplace(Qt::BusyCursor);
  if (!load_repaint_timer_.isActive()) {
    load_repaint_timer_.setInterval(kLoadRepaintMs);
    connect(&load_repaint_timer_, &QTimer::timeout, viewport(),
            static_cast<void (QWidget::*)()>(&QWidget::update), Qt::UniqueConnection);
    load_repaint_timer_.start();
  }
  loader_ = std::thread([this, work = std::move(work), hold = hold_commit_] {
    const LoadProgress progress = [this](double done) {
      load_permille_ = static_cast<int>(done * 1000);
    };
    // Queued before the result, so it arrives first.
    const PlanPreview preview = [this](const QImage& picture) {
      QMetaObject::invokeMethod(
          this, [this, picture] { ShowPreview(picture); }, Qt::QueuedConnection);
    };
    auto load = std::make_shared<PlanLoad>(work(progress, preview));
    // The side files stay here: the window never touches them.
    PendingSideFiles side_files = std::move(load->side_files);
    const bool committing = side_files.pending();
    QMetaObject::invokeMethod(
        this, [this, load, committing] { FinishLoad(*load, committing); }, Qt::QueuedConnection);
    if (!committing) return;
    // The user works on the plan meanwhile: flushing hundreds of megabytes
    // is not worth waiting for, as the projection file holds the same bytes.
    if (hold) hold();
    auto committed = std::make_shared<SiteOutcome>(side_files.Commit());
    QMetaObject::invokeMethod(
        this, [this, committed] { FinishCommit(*committed); }, Qt::QueuedConnection);
  });
}

void CSiteView::ShowPreview(const QImage& picture) {
  if (!loading_) return;
  preview_ = picture;
  SetUpView(preview_view_, preview_.size());
  viewport()->update();
}

void CSiteView::FinishLoad(PlanLoad& load, bool committing) {
  // Set before `finish` asks anything: its nested event loop may already
  // run FinishCommit.
  if (committing) {
    committing_ = true;
  } else {
    loader_.join();
  }
  loading_ = false;
  load_repaint_timer_.stop();
  busy_.reset();  // before any message, as the designed wait cursor ends
  std::function<void(PlanLoad&)> finish = std::move(finish_);
  finish(load);
  // Taken, the picture is the plan's now; refused, the old plan shows again.
  preview_ = QImage();
  viewport()->update();
}

void CSiteView::FinishCommit(const SiteOutcome& committed) {
  loader_.join();
  committing_ = false;
  if (committed.ok()) return;
  // The plan stays, and so do the points, journaled as they were taken; only
  // a save, which would compress a plan file that is not there, waits for
  // the file to be opened again.
  plan_not_written_ = projection_.m_strPath;
  Report(committed);
}

void CSiteView::WaitForLoad() {
  while (loading_ || committing_) {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                    kLoadRepaintMs);
  }
}

void CSiteView::WaitForSideFiles() {
  if (!committing_) return;
  WaitCursor wait;
  while (committing_) {
    QCoreApplication::processEvents(
        QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, kLoadRepaintMs);
  }
}

bool CSiteView::RefusedWhileLoading() {
  if (!loading_) return false;
  messages_.ShowOk("A plan is loading. Wait until it is ready.");
  return true;
}

void CSiteView::DrawLoadProgress(QPainter& dc, int w, int h) const {
  if (!loading_ || load_clock_.elapsed() < kShowProgressMs) return;
  const int done = std::clamp(load_permille_.load(), 0, 1000);
  dc.setFont(BandFont());
  const int band_height = QFontMetrics(dc.font()).height() + 2;
  const QRect band(0, h - band_height, w, band_height);
  dc.fillRect(band, Qt::white);
  dc.fillRect(QRect(band.left(), band.top(), w * done / 1000, band_height), kProgressBand);
  dc.setPen(Qt::black);
  dc.drawText(band, Qt::AlignCenter, QStringLiteral("Loading plan %1%").arg(done / 10));
}

}  // namespace velkaro
