#pragma once

#include "gui/common/command_target.h"
#include "gui/common/wait_cursor.h"
#include "gui/site_view/plan_load.h"
#include "site/fix_average.h"
#include "site/point_fit.h"
#include "site/site_plan.h"
#include "site/site_projection.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QTimer>

namespace velkaro {

class CDraw;
class CGpsData;
class CSiteProjection;
class IClock;
class IFilePrompt;
class IMessageBox;
class IWavePlayer;
template <class T>
class Published;

// The working screen: the site plan with its reference points, the live fix
// and zoom rows, and the reticle at the centre. The GPS counts as locked only
// for a 3-D fix received less than three seconds ago (CGpsData::IsLockedAt),
// so an unplugged board turns the band red. A tap with the GPS locked
// centres the plan on the tapped spot and stores it with the current
// position; a tap beyond the plan's edge is refused, since no pixel there
// matches the position. A press that moves more than a few pixels before its
// release drags the plan instead (so does a middle-button drag), and stores
// nothing. A hold (right button, or a left press kept still for about half
// a second) offers to delete the nearest point. Space held down turns a left
// press into a drag too. Carries the site commands 32771..32776 and both
// scroll bars.
//
// With an averaging time (SetCaptureOptions) a tap opens a window instead
// of storing at once: the view shows its countdown, fixes and spread, and
// stores the mean of every locked fix when it closes; a lost lock refuses
// the point, and Escape or a command other than zooming cancels it. A minimum accuracy
// refuses taps while the fix is worse.
//
// Plans load on a worker thread (site_view_load.cpp): the window keeps
// repainting under the busy cursor, shows the share done for loads longer
// than kShowProgressMs, and keeps the current plan until the new one is
// ready; taps, holds and the site commands are refused meanwhile. A
// projection file's plan is shown as soon as its picture is whole, and the
// load ends, so the plan can be worked on, once its side files are written
// (the old plan comes back if they fail). The worker then puts them in place
// durably; whatever reads them by name (a save, an export, another load)
// waits for that, and a commit that fails is said, and refuses saves until
// the file is opened again.
//
// UI thread only. Every referenced object must outlive the view.
class CSiteView : public QAbstractScrollArea, public ICommandTarget {
  Q_OBJECT

 public:
  // Up to the handheld's width the plan is shown in the client's square, as
  // there; wider, with square pixels (CSitePlan::UseClientShape).
  static constexpr int kHandheldWidth = 240;

 public:
  static constexpr int kHoldMs = 500;
  static constexpr int kMaxResidualLine = 60;  // screen pixels beyond the marker
  static inline const QColor kResidualColor{255, 140, 0};
  static inline const QColor kFlaggedResidualColor{220, 0, 0};
  // The ring around the point a hold's question would delete.
  static inline const QColor kHighlightColor{255, 220, 0};
  // A press that moves further than this (Manhattan, screen pixels) drags.
  static constexpr int kDragSlopPixels = 4;

  static constexpr const char* kBeyondEdgeText =
      "That spot is beyond the edge of the plan. Tap a spot on the plan.";
  static constexpr const char* kNotLockedText = "GPS is not locked. Wait until GPS is locked.";
  // How often an open averaging window looks for new fixes.
  static constexpr int kAveragePollMs = 100;

  // How often the view repaints while its band shows a lock, so the band
  // turns red when reports stop even though no report says so.
  static constexpr int kLockRepaintMs = 1000;

  // A load shorter than this shows no progress.
  static constexpr int kShowProgressMs = 300;

  CSiteView(CSitePlan& plan, CSiteProjection& projection, const Published<CGpsData>& gps,
            IClock& clock, CDraw& draw, IMessageBox& messages, IWavePlayer& waves,
            IFilePrompt& files, QWidget* parent = nullptr);
  // Waits for a load in progress; its result is dropped.
  ~CSiteView() override;

  void SetCaptureOptions(const CaptureOptions& options) { capture_ = options; }
  // True while an averaging window is open.
  bool Averaging() const { return average_.has_value(); }
  // "averaging: 3.2 s left, 4 fixes, spread 0.6 m" while a window is open.
  std::string AveragingText() const;
  // The plan pixel under the pointer, and its position once the points fit:
  // "plan pixel (360, 270)  45.4987850 N 9.1023040 E"; "" off the plan.
  std::string CursorText() const;
  // The name of the plan or projection file the points belong to ("" before
  // the first plan), and whether they differ from what the last save or open
  // of a projection file left.
  std::string DocumentName() const;
  bool HasUnsavedPoints() const;
  // What the save dialog proposes: the projection file opened or saved last,
  // else the plan's name with ".vlk" beside it.
  std::string ProposedSaveName() const;

  // True from a load's start until its plan is taken or refused.
  bool LoadInProgress() const { return loading_; }
  // True from then until the plan's side files are in place, or failed.
  bool CommittingSideFiles() const { return committing_; }
  // Runs the event loop until no load is in progress and no side files are
  // being committed (tests, the demo).
  void WaitForLoad();
  // Runs `hold` on the worker before each commit of a projection file's
  // side files, which waits for it to return (tests see the window there).
  void HoldSideFilesCommit(std::function<void()> hold) { hold_commit_ = std::move(hold); }

  // Adds the scroll bars (no range until a plan is loaded).
  void OnInitialUpdate();
  // The client area (the viewport) composed off screen.
  QImage OnDraw() const;

  // A stylus press at `point` in client coordinates, already told apart.
  void OnTap(const QPoint& point);
  void OnHold(const QPoint& point);

  // Commands (site_view_commands.cpp).
  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void OnNewProjection();
  void OnOpenProjection();
  void OnSaveProjection();
  // The saved projection file's plan as a GeoTIFF, GeoPDF, MBTiles or KMZ
  // (site_view_export.cpp).
  void OnExport();
  // Shows `outcome` as ShowOutcome does, and its notes in the status bar.
  void Report(const SiteOutcome& outcome);
  void OnZoomIn();
  void OnZoomOut();
  void OnWholePlan();
  // One zoom step in or out keeping the plan pixel under `at` (client
  // coordinates) where it is.
  void ZoomAbout(bool in, const QPoint& at);
  void OnPointList();
  // Scroll codes 0..8 as the bars report them; `thumb` for code 5.
  void OnHScroll(int code, int thumb);
  void OnVScroll(int code, int thumb);

  // The client rectangle as the viewport uses it.
  PlanRect ClientRect() const;
  bool PlanLoaded() const { return m_bPlanLoaded; }
  const QImage& PlanBitmap() const { return m_bmpPlan; }

  // The 8-point "System" face at 96 dpi: a small sans of 11 pixels.
  static QFont BandFont();

  QImage m_bmpPlan;
  QImage m_bmpReticle;
  bool m_bPlanLoaded = false;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  // Ctrl+wheel zooms about the pointer; the wheel alone scrolls.
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void scrollContentsBy(int, int) override {}
  // The viewport follows the client: see CSitePlan::ResizeClient.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void DrawTap(QPainter& dc, const CSitePlan& view, int32_t x, int32_t y) const;
  // A short line from the marker's edge towards where the fit of the current
  // points puts the point's position: its length on screen is the residual
  // (at most kMaxResidualLine), red when the point is flagged.
  void DrawResidual(QPainter& dc, const CSitePlan& view, int32_t x, int32_t y,
                    const PointResidual& residual) const;
  void DrawStatusLine(QPainter& dc, int w, int text_height) const;
  void DrawZoomLine(QPainter& dc, const CSitePlan& view, int w, int text_height) const;
  // Sets `view` up for a freshly loaded plan of `size` in this client area.
  void SetUpView(CSitePlan& view, QSize size) const;
  // The same for the shown plan, with the scroll bars.
  void SetUpPlan();
  // Shows a loaded plan; false (and the message) when it did not load.
  bool TakePlan(PlanLoad& load);
  // Runs `work` on the worker, then `finish` with its result on this thread.
  void StartLoad(std::function<PlanLoad(const LoadProgress&, const PlanPreview&)> work,
                 std::function<void(PlanLoad&)> finish);
  void ShowPreview(const QImage& picture);
  // `committing`: the worker goes on to commit the side files.
  void FinishLoad(PlanLoad& load, bool committing);
  void FinishCommit(const SiteOutcome& committed);
  // Before anything that reads the side files by name: runs the event loop,
  // user input aside, until they are in place.
  void WaitForSideFiles();
  // True (and the message) while a load is in progress.
  bool RefusedWhileLoading();
  void DrawLoadProgress(QPainter& dc, int w, int h) const;
  // Offers the points kept at `points_path` when none are taken yet, and
  // journals every later capture and deletion there. A journal that cannot
  // be read whole, or whose points give way to those kept from the last
  // plan, is set aside first.
  void TakePointsJournal(const std::string& points_path);
  // Renames the journal at `path` aside and says so after `why`; false (and
  // said) when it stays where it is, and must then not be written.
  bool SetAsideJournal(const std::string& path, const std::string& why);
  void SyncScrollPositions();
  // A page scroll moves the client's width (height) in plan pixels.
  void SetPageSteps();
  void OnScrollAction(Qt::Orientation orientation, int action);
  void HoldTimedOut();
  void StartDrag(const QPoint& point);
  void DragTo(const QPoint& point);
  // Stores the point at plan pixel (x, y) with `position`, as a tap does.
  void StoreTap(int32_t x, int32_t y, const CGpsData& position, const FixAverage* average);
  // Looks at the open window: stores its mean once it closes, refuses the
  // point when the lock is lost.
  void PollAverage();
  void CancelAverage();
  void DrawAveraging(QPainter& dc, int w, int h) const;
  void NoteCursor(const QPoint& point);

 signals:
  // The pointer moved over the plan, or off it (CursorText).
  void cursorMoved();
  // A line for the status bar: where a file was written.
  void noted(const QString& text);
  // Another plan or projection file, or points taken, deleted or saved.
  void documentChanged();

 private:
  CSitePlan& plan_;
  CSiteProjection& projection_;
  const Published<CGpsData>& gps_;
  IClock& clock_;
  CDraw& draw_;
  IMessageBox& messages_;
  IWavePlayer& waves_;
  IFilePrompt& files_;

  // Tap-and-hold: a left press waits for its release, a move or the timer.
  QTimer hold_timer_;
  // Repaints while a lock is shown; DrawStatusLine notes what it showed.
  QTimer lock_repaint_timer_;
  mutable bool band_locked_ = false;
  int wheel_sum_ = 0;                              // Ctrl+wheel turned short of a notch
  bool exporting_ = false;                         // an export runs: commands wait for it
  std::string document_path_;                      // the plan or projection file named in the title
  std::vector<CSiteProjection::_tap> saved_taps_;  // as the last save or open left them
  QPoint press_point_;
  bool left_pressed_ = false;
  bool space_held_ = false;
  // The plan pixel under the pointer; none while it is off the plan.
  std::optional<QPoint> cursor_pixel_;

  CaptureOptions capture_;
  // The open window and the plan pixel it was opened on, which stays the
  // point's pixel however the plan is scrolled or zoomed meanwhile.
  std::optional<FixAverage> average_;
  int32_t average_x_ = 0;
  int32_t average_y_ = 0;
  QTimer average_timer_;

  // The point the open question is about, ringed; -1 while none is asked.
  int highlighted_ = -1;
  // A drag in progress (left press moved past the slop, or the middle
  // button) and the view's centre when it began.
  bool dragging_ = false;
  int32_t drag_center_x_ = 0;
  int32_t drag_center_y_ = 0;

  // The load in progress: the worker, what to do with its result, its share
  // done in thousandths (written by the worker), and the repaint timer that
  // keeps the progress moving.
  std::thread loader_;
  bool loading_ = false;
  std::function<void(PlanLoad&)> finish_;
  std::atomic<int> load_permille_{0};
  QElapsedTimer load_clock_;
  QTimer load_repaint_timer_;
  std::optional<WaitCursor> busy_;
  // From the plan's taking until the worker has committed its side files.
  bool committing_ = false;
  std::function<void()> hold_commit_;
  // The projection file whose plan is shown but whose side files failed to
  // be committed: no save until a plan is taken again. Empty otherwise.
  std::string plan_not_written_;
  // The loading plan's picture once it is whole, drawn in place of the
  // current plan with a view of its own until the load ends.
  QImage preview_;
  CSitePlan preview_view_;
};

}  // namespace velkaro
