#include "gui/shell/main_frame.h"

#include "gui/common/command_ids.h"
#include "gui/common/wait_cursor.h"
#include "gui/shell/quick_start.h"
#include "gui/site_view/site_view.h"
#include "gui/status/status_view.h"
#include "link/fix_summary.h"
#include "site/point_fit.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

namespace velkaro {

namespace {

constexpr int kSmallButton = 16;  // toolbar 128, for a frame 240 wide or less
constexpr int kLargeButton = 30;  // toolbar 129
constexpr int kFirstPaneId = 59648;
const char kControlIdProperty[] = "controlId";
constexpr int kNoteMs = 10000;  // how long a note replaces the fix line

}  // namespace

CMainFrame::CMainFrame(AppContext& context, ICommandTarget& app, ICommandTarget& doc)
    : context_(context),
      app_(app),
      doc_(doc),
      session_(context.link, context.clock),
      gpsd_source_(context.link.engine) {
  setWindowTitle(QStringLiteral("Velkaro"));
  const QPixmap icon(QStringLiteral(":/icons/app"));
  if (!icon.isNull()) setWindowIcon(icon);
  views_ = new QStackedWidget(this);
  setCentralWidget(views_);
  status_view_ =
      new CVelkaroView(context_.link.engine, context_.draw, *this, context_.beep, views_);
  status_view_->setProperty(kControlIdProperty, kFirstPaneId);
  views_->addWidget(status_view_);
  active_ = status_view_;
  views_->setMinimumSize(kLayoutWidth, 266);
  views_->resize(kLayoutWidth, kLayoutHeight);

  // Under the view, so the designed bands stay as they are.
  fix_status_ = new QLabel(this);
  fix_status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(fix_status_, 1);
  fix_timer_ = new QTimer(this);
  fix_timer_->setInterval(1000);
  connect(fix_timer_, &QTimer::timeout, this, [this] { UpdateFixStatus(); });
}

CMainFrame::~CMainFrame() { ShutDownLink(); }

int CMainFrame::OnCreate() {
  command_bar_ = new QToolBar(QStringLiteral("Command bar"), this);
  command_bar_->setMovable(false);
  command_bar_->setFloatable(false);
  command_bar_->setContextMenuPolicy(Qt::PreventContextMenu);
  command_bar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (int id : kToolbarCommands) {
    const char* prompt = CommandPrompt(id);
    QAction* action = command_bar_->addAction(QString::fromLatin1(*prompt ? prompt : "Snapshot"));
    action->setToolTip(QString::fromLatin1(prompt));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { RouteAndRun(id); });
    actions_[id] = action;
  }
  addToolBar(Qt::TopToolBarArea, command_bar_);
  BuildMenus();
  // The frame is the layout's width until the user resizes it; on the
  // desktop it opens at two thirds of the screen, never below the layout.
  OnSize(kLayoutWidth, kLayoutHeight);
  const int chrome = menuBar()->sizeHint().height() + command_bar_->sizeHint().height() +
                     statusBar()->sizeHint().height();
  resize(kLayoutWidth, kLayoutHeight + chrome);
  if (context_.desktop_size) resize(DesktopSize(chrome));
  UpdateCommandStates();

  WaitCursor wait;
  if (context_.gpsd) {
    gpsd_source_.Start(*context_.gpsd, context_.messages, this);
  } else {
    session_.Start(context_.registry, context_.opener, context_.messages, context_.port_override,
                   this);
  }
  UpdateFixStatus();
  fix_timer_->start();
  return 0;
}

QSize CMainFrame::DesktopSize(int chrome) const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize available = screen ? screen->availableGeometry().size() : QSize();
  return QSize(std::max(available.width() * 2 / 3, kLayoutWidth),
               std::max(available.height() * 2 / 3, kLayoutHeight + chrome));
}

void CMainFrame::BuildMenus() {
  struct Item {
    int id;
    const char* text;
    QList<QKeySequence> keys;
  };
  const auto add = [this](QMenu* menu, const Item& item) {
    auto* action = menu->addAction(QString::fromUtf8(item.text));
    action->setShortcuts(item.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setData(item.id);
    connect(action, &QAction::triggered, this, [this, id = item.id] { RouteAndRun(id); });
    menu_actions_.emplace(item.id, action);
  };
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  add(file, {ID_NEW_PROJECTION, "&New plan...", {QKeySequence::New}});
  add(file, {ID_OPEN_PROJECTION, "&Open...", {QKeySequence::Open}});
  add(file, {ID_SAVE_PROJECTION, "&Save...", {QKeySequence::Save}});
  add(file, {ID_EXPORT, "&Export...", {QKeySequence(Qt::CTRL | Qt::Key_E)}});
  file->addSeparator();
  add(file, {ID_SNAPSHOT, "Snaps&hot...", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)}});
  file->addSeparator();
  add(file, {ID_APP_EXIT, "&Quit", {QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)}});
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  add(view, {ID_ZOOM_IN, "Zoom &in",
             {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)}});
  add(view, {ID_ZOOM_OUT, "Zoom &out", {QKeySequence(Qt::CTRL | Qt::Key_Minus)}});
  add(view, {ID_WHOLE_PLAN, "&Whole plan", {QKeySequence(Qt::CTRL | Qt::Key_0)}});
  QMenu* points = menuBar()->addMenu(QStringLiteral("&Points"));
  add(points, {ID_POINT_LIST, "Point &list...", {QKeySequence(Qt::CTRL | Qt::Key_L)}});
  add(points, {ID_UNDO, "&Undo", {QKeySequence::Undo}});
  add(points, {ID_REDO, "&Redo", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}});
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  add(help, {ID_QUICK_START, "&Quick start", {QKeySequence::HelpContents}});
  add(help, {ID_APP_ABOUT, "&About Velkaro", {}});
}

void CMainFrame::LoadButtonImages(int size) {
  if (size == button_size_) return;
  button_size_ = size;
  const QImage strip(QStringLiteral(":/bitmaps/%1").arg(size == kSmallButton ? 128 : 129));
  command_bar_->setIconSize(QSize(size, size));
  int index = 0;
  for (int id : kToolbarCommands) {
    QAction* action = actions_[id];
    if (!strip.isNull() && strip.width() >= (index + 1) * size) {
      action->setIcon(QIcon(QPixmap::fromImage(strip.copy(index * size, 0, size, size))));
    } else {
      action->setIcon(QIcon());
    }
    ++index;
  }
}

void CMainFrame::OnSize(int width, int) {
  if (command_bar_) LoadButtonImages(width <= kLayoutWidth ? kSmallButton : kLargeButton);
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  OnSize(width(), height());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The close button ends the program; minimising only minimises.
  ShutDownLink();
  event->accept();
}

void CMainFrame::ShutDownLink() {
  session_.Stop();
  gpsd_source_.Stop();
}

void CMainFrame::PostBoardUpdate() {
  if (update_pending_.exchange(true)) return;
  QCoreApplication::postEvent(this, new QEvent(QEvent::Type(WM_BOARD_UPDATE)));
}

bool CMainFrame::event(QEvent* event) {
  if (event->type() == QEvent::Type(WM_BOARD_UPDATE)) {
    update_pending_.store(false);
    OnBoardUpdate();
    return true;
  }
  return QMainWindow::event(event);
}

void CMainFrame::OnBoardUpdate() {
  if (active_ == site_view_ && site_view_) {
    site_view_->viewport()->update();
  } else if (active_) {
    active_->update();
  }
  UpdateFixStatus();
}

QString CMainFrame::FixStatus() const { return fix_status_->text(); }

std::string CMainFrame::SourceText(const CGpsData& gps, int64_t now_ms) const {
  if (context_.gpsd) return GpsdSourceText(context_.gpsd->ToString(), gpsd_source_.Connected());
  // The board answers while its reports keep coming.
  const bool answering =
      gps.m_receivedMs != 0 && now_ms - gps.m_receivedMs <= CGpsData::kStaleAfterMs;
  return BoardSourceText(context_.link.com.PortName(), answering);
}

void CMainFrame::UpdateFixStatus() {
  const CGpsData gps = context_.link.gps.Read();
  const int64_t now_ms = context_.clock.NowMonotonicMs();
  std::string line = FixStatusText(gps, now_ms, SourceText(gps, now_ms));
  // How well the points taken so far agree, while they are being taken.
  if (const std::string rms = RmsText(FitPoints(context_.projection.m_taps)); !rms.empty())
    line += "  " + rms;
  // A newcomer on the status view is told what starts the work.
  if (active_ == status_view_) line = "Click to start  " + line;
  // Over the plan: the pixel under the pointer and where it lies.
  if (site_view_ && active_ == site_view_) {
    if (const std::string cursor = site_view_->CursorText(); !cursor.empty())
      line += "  " + cursor;
  }
  const QString text = QString::fromStdString(line);
  fix_status_->setText(text);
  fix_status_->setToolTip(text);  // the whole line where the window is narrow
  UpdateTitle();
}

void CMainFrame::SwitchView(ViewClass view_class, int control_id) {
  QWidget* wanted = view_class == ViewClass::kSite ? static_cast<QWidget*>(site_view_)
                                                   : static_cast<QWidget*>(status_view_);
  if (wanted && wanted == active_) return;
  if (!wanted) {
    site_view_ =
        new CSiteView(context_.plan, context_.projection, context_.link.gps, context_.clock,
                      context_.draw, context_.messages, context_.waves, context_.files, views_);
    site_view_->OnInitialUpdate();
    site_view_->SetCaptureOptions(context_.capture);
    connect(site_view_, &CSiteView::cursorMoved, this, [this] { UpdateFixStatus(); });
    connect(site_view_, &CSiteView::documentChanged, this, [this] { UpdateTitle(); });
    // The fix line comes back once the note has been read.
    connect(site_view_, &CSiteView::noted, this,
            [this](const QString& text) { statusBar()->showMessage(text, kNoteMs); });
    views_->addWidget(site_view_);
    wanted = site_view_;
  }
  QWidget* old = active_;
  active_ = wanted;
  views_->setCurrentWidget(wanted);
  wanted->show();
  if (old) {
    old->hide();
    old->setProperty(kControlIdProperty, control_id);
  }
  wanted->setProperty(kControlIdProperty, kFirstPaneId);
  wanted->setFocus();
  UpdateCommandStates();
  wanted->update();
}

ICommandTarget* CMainFrame::ActiveTarget() const {
  if (active_ == site_view_ && site_view_) return site_view_;
  return status_view_;
}

bool CMainFrame::HandlesCommand(int id) const {
  return (id == ID_SNAPSHOT && static_cast<bool>(context_.snapshot)) || id == ID_QUICK_START ||
         id == ID_APP_EXIT;
}

void CMainFrame::OnCommand(int id) {
  if (id == ID_SNAPSHOT) OnSnapshot();
  if (id == ID_QUICK_START) ShowQuickStart(this);
  if (id == ID_APP_EXIT) close();
}

void CMainFrame::OnSnapshot() {
  if (context_.snapshot && active_) context_.snapshot(*active_);
}

void CMainFrame::RouteAndRun(int id) {
  if (ICommandTarget* target = RouteCommand(id, {ActiveTarget(), &doc_, this, &app_})) {
    target->OnCommand(id);
  }
  if (id != ID_APP_EXIT) UpdateTitle();
}

QAction* CMainFrame::CommandAction(int id) const {
  auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

QAction* CMainFrame::MenuAction(int id) const {
  auto found = menu_actions_.find(id);
  return found == menu_actions_.end() ? nullptr : found->second;
}

void CMainFrame::UpdateCommandStates() {
  for (auto* actions : {&actions_, &menu_actions_}) {
    for (auto& [id, action] : *actions) {
      action->setEnabled(RouteCommand(id, {ActiveTarget(), &doc_, this, &app_}) != nullptr);
    }
  }
  UpdateTitle();
}

void CMainFrame::UpdateTitle() {
  // "campus.vlk[*] - Velkaro": Qt draws the mark while the window is modified.
  const std::string document = site_view_ ? site_view_->DocumentName() : "";
  setWindowTitle(document.empty() ? QStringLiteral("Velkaro")
                                  : QString::fromStdString(document) + QStringLiteral("[*] - Velkaro"));
  setWindowModified(!document.empty() && site_view_->HasUnsavedPoints());
}

}  // namespace velkaro
