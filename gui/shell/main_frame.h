#pragma once

#include "gui/common/command_target.h"
#include "gui/common/view_switcher.h"
#include "gui/shell/app_context.h"
#include "link/board_session.h"
#include "link/gpsd_source.h"

#include <atomic>
#include <map>

#include <QMainWindow>
#include <QString>

class QLabel;
class QTimer;

class QAction;
class QStackedWidget;
class QToolBar;

namespace velkaro {

class CSiteView;
class CVelkaroView;

// The main window: the command bar, the active view (the status view until
// the first tap, then the site view for good), the fix status line under
// it, the board link's start-up and shut-down, and the repaint on every
// board update.
//
// Threads: PostBoardUpdate is called on the link worker; it only posts an
// event. Everything else runs on the UI thread.
// Lifetime: `context`, `app` and `doc` must outlive the frame. The frame
// stops the link worker when it closes and when it is destroyed.
class CMainFrame : public QMainWindow,
                   public ICommandTarget,
                   public IBoardUpdateSink,
                   public IViewSwitcher {
  Q_OBJECT

 public:
  // The handheld's client area under the command bar.
  static constexpr int kLayoutWidth = 240;
  static constexpr int kLayoutHeight = 285;

  CMainFrame(AppContext& context, ICommandTarget& app, ICommandTarget& doc);
  ~CMainFrame() override;

  // Builds the command bar, then, under the wait cursor: registers for board
  // updates, opens the link, pauses 2000 ms, starts the link worker, queues
  // the start-up frame and pauses 2000 ms again; with a gpsd address in the
  // context it starts the gpsd source instead. Returns 0, or -1 when the
  // window is not to be created. Call once.
  int OnCreate();
  // Picks the command bar's button size for a frame `width` pixels wide.
  void OnSize(int width, int height);
  // Repaints the active view from the device state, and the fix status line.
  void OnBoardUpdate();
  // The fix status line as shown (link/fix_summary.h FixStatusText).
  QString FixStatus() const;
  void SwitchView(ViewClass view_class, int control_id) override;
  // Stops the link worker (or the gpsd source) and the board updates.
  // Idempotent.
  void ShutDownLink();

  // Link worker thread: posts WM_BOARD_UPDATE to the frame, never blocks;
  // updates that arrive before the last one was handled are merged.
  void PostBoardUpdate() override;

  bool HandlesCommand(int id) const override;
  void OnCommand(int id) override;
  void OnSnapshot();

  QWidget* ActiveView() const { return active_; }
  CVelkaroView* StatusView() const { return status_view_; }
  CSiteView* SiteView() const { return site_view_; }
  QToolBar* CommandBar() const { return command_bar_; }
  QAction* CommandAction(int id) const;
  // The menu bar's item for command `id`; null when no menu has one.
  QAction* MenuAction(int id) const;
  // Enables each button and menu item whose command has a handler on the
  // current route.
  void UpdateCommandStates();
  // The plan's or projection file's name in the title, marked while points
  // are not in a saved projection file.
  void UpdateTitle();
  int ButtonSize() const { return button_size_; }

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  ICommandTarget* ActiveTarget() const;
  void RouteAndRun(int id);
  void LoadButtonImages(int size);
  // File, View, Points, Help: the bar's commands and the rest, with the
  // standard keys.
  void BuildMenus();
  // Two thirds of the screen, never below the layout and its `chrome`.
  QSize DesktopSize(int chrome) const;
  // Shows the record's quality, its age and the source on the status line;
  // also every second without updates, so that the age runs and a lock that
  // went stale is shown as gone.
  void UpdateFixStatus();
  std::string SourceText(const CGpsData& gps, int64_t now_ms) const;

  AppContext& context_;
  ICommandTarget& app_;
  ICommandTarget& doc_;
  QToolBar* command_bar_ = nullptr;
  std::map<int, QAction*> actions_;       // the command bar's
  std::map<int, QAction*> menu_actions_;  // the menu bar's
  QStackedWidget* views_ = nullptr;
  QWidget* active_ = nullptr;
  CVelkaroView* status_view_ = nullptr;
  CSiteView* site_view_ = nullptr;
  QLabel* fix_status_ = nullptr;
  QTimer* fix_timer_ = nullptr;
  BoardSession session_;
  GpsdSource gpsd_source_;  // in place of the board session with --gpsd
  std::atomic<bool> update_pending_{false};
  int button_size_ = 0;
};

}  // namespace velkaro
