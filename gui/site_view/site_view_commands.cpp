#include "gui/common/command_ids.h"
#include "gui/site_view/page_chooser_dialog.h"
#include "gui/site_view/plan_bitmap.h"
#include "gui/site_view/point_list_dialog.h"
#include "gui/site_view/show_outcome.h"
#include "gui/site_view/site_view.h"
#include "import/pdf_pages.h"
#include "import/plan_import.h"
#include "platform/clock.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "site/side_files.h"
#include "site/site_projection.h"

#include <cerrno>
#include <sys/stat.h>

#include <QApplication>
#include <QScrollBar>

namespace velkaro {

namespace {

const char kBitmapFilter[] =
    "Plans (*.bmp *.png *.jpg *.jpeg *.tif *.tiff *.pdf *.webp *.jp2 *.gif)|"
    "*.bmp;*.png;*.jpg;*.jpeg;*.tif;*.tiff;*.pdf;*.webp;*.jp2;*.gif|"
    "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||";
const char kProjectionFilter[] = "Velkaro Projection Files (*.vlk)|*.vlk|All Files (*.*)|*.*||";
constexpr int kLineScroll = 10;

// The scroll codes the handlers take, from the bars' actions.
enum ScrollCode {
  kLineUp = 0,
  kLineDown = 1,
  kPageUp = 2,
  kPageDown = 3,
  kThumbPosition = 4,
  kThumbTrack = 5,
  kTop = 6,
  kBottom = 7,
  kEndScroll = 8,
};

int ScrollCodeOf(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return kLineUp;
    case QAbstractSlider::SliderSingleStepAdd:
      return kLineDown;
    case QAbstractSlider::SliderPageStepSub:
      return kPageUp;
    case QAbstractSlider::SliderPageStepAdd:
      return kPageDown;
    case QAbstractSlider::SliderMove:
      return kThumbTrack;
    case QAbstractSlider::SliderToMinimum:
      return kTop;
    case QAbstractSlider::SliderToMaximum:
      return kBottom;
    default:
      return kEndScroll;
  }
}

}  // namespace

bool CSiteView::HandlesCommand(int id) const {
  return (id >= ID_NEW_PROJECTION && id <= ID_POINT_LIST) || id == ID_UNDO || id == ID_REDO;
}

void CSiteView::OnCommand(int id) {
  if (RefusedWhileLoading()) return;
  // A command other than zooming ends the window: another plan, a save or
  // an undo would not leave it the point it was opened for.
  if (average_ && id != ID_ZOOM_IN && id != ID_ZOOM_OUT) CancelAverage();
  switch (id) {
    case ID_NEW_PROJECTION:
      OnNewProjection();
      break;
    case ID_UNDO:
    case ID_REDO:
      ShowOutcome(id == ID_UNDO ? projection_.Undo() : projection_.Redo(), messages_, waves_);
      viewport()->update();
      break;
    case ID_OPEN_PROJECTION:
      OnOpenProjection();
      break;
    case ID_SAVE_PROJECTION:
      OnSaveProjection();
      break;
    case ID_ZOOM_IN:
      OnZoomIn();
      break;
    case ID_ZOOM_OUT:
      OnZoomOut();
      break;
    case ID_POINT_LIST:
      OnPointList();
      break;
    default:
      break;
  }
}

bool CSiteView::TakePlan(PlanLoad& load) {
  if (load.plan.image.isNull()) {
    // A plan too big for the memory says how big; every other failure is
    // the designed "Cannot load" text.
    messages_.ShowOk(load.plan.status.code() == Status::Code::kNoMemory
                         ? load.plan.status.message()
                         : CannotLoadText(load.plan_path, load.plan.status.last_error()));
    return false;
  }
  // The old picture goes as the new one comes: a replacement never holds
  // more than both.
  m_bmpPlan = std::move(load.plan.image);
  m_bPlanLoaded = true;
  return true;
}

void CSiteView::OnNewProjection() {
  const std::optional<std::string> path = files_.OpenFile(kBitmapFilter, "BMP");
  if (!path) return;
  // A PDF of several pages asks which page is the plan.
  plan_import::SourceChoice choice;
  if (!plan_import::IsBmpPlan(*path) && plan_import::IsPdf(*path)) {
    if (const int pages = plan_import::PdfPageCount(*path); pages > 1) {
      const std::optional<plan_import::SourceChoice> chosen = ChoosePdfPage(this, *path, pages);
      if (!chosen) return;
      choice = *chosen;
    }
  }
  StartLoad(
      [path = *path, choice](const LoadProgress& progress, const PlanPreview&) {
        return LoadPlanFile(path, progress, choice);
      },
      [this](PlanLoad& load) {
        if (!load.refusal.empty()) {
          messages_.ShowOk(load.refusal);
          return;
        }
        if (!TakePlan(load)) return;
        if (!load.note.empty()) messages_.ShowOk(load.note);
        projection_.UsePlan(load.plan_path);
        SetUpPlan();
        // A converted plan's points are kept beside the file the user chose.
        TakePointsJournal(load.points_path.empty()
                              ? SideFilePath(load.plan_path, SideFile::kPoints)
                              : load.points_path);
      });
}

void CSiteView::OnOpenProjection() {
  const std::optional<std::string> path = files_.OpenFile(kProjectionFilter, "VLK");
  if (!path) return;
  StartLoad(
      [path = *path](const LoadProgress& progress, const PlanPreview& preview) {
        return LoadProjectionFile(path, progress, preview);
      },
      [this, path = *path](PlanLoad& load) {
        // What the projection's own load changes, it changes here: its path
        // always, the plan path once the plan was expanded. A failed load
        // names the bitmap this file would have given, never an earlier plan.
        projection_.NoteOpened(path);
        ShowOutcome(load.opened, messages_, waves_);
        // A refused file has said why; the plan it did not give is not
        // another error.
        if (!load.opened.ok()) return;
        projection_.UsePlan(load.plan_path);
        if (!TakePlan(load)) return;
        SetUpPlan();
        TakePointsJournal(SideFilePath(path, SideFile::kPoints));
      });
}

void CSiteView::TakePointsJournal(const std::string& points_path) {
  CSiteProjection::KeptPoints kept = CSiteProjection::ReadKeptPoints(points_path);
  // A plan on read-only media has its journal in the user's data folder.
  std::string read_from = points_path;
  if (!kept.found) {
    CSiteProjection::KeptPoints there =
        CSiteProjection::ReadKeptPoints(FallbackPointsPath(points_path));
    if (there.found) {
      kept = std::move(there);
      read_from = FallbackPointsPath(points_path);
    }
  }
  // A journal not read whole is set aside before anything is written in
  // its place, so that nothing it held is lost; without that, no journal.
  bool journal = true;
  if (!kept.problems.empty()) {
    std::string text;
    for (const std::string& problem : kept.problems) text += problem + "\n";
    journal = SetAsideJournal(read_from, text);
  }
  // Points taken on another plan belong to it: they are kept for this one
  // only when the user says so. Their journal stays as it is either way.
  if (!projection_.m_taps.empty() && points_path != projection_.PointsPath()) {
    const size_t count = projection_.m_taps.size();
    const bool own = journal && kept.problems.empty() && !kept.taps.empty();
    std::string question = "Keep the " + std::to_string(count) + " reference point" +
                           (count == 1 ? "" : "s") + " taken on the previous plan for this plan?";
    if (own) {
      question += "\nThe " + std::to_string(kept.taps.size()) +
                  " points saved for this plan before are then set aside.";
    }
    if (!messages_.AskYesNo(question)) {
      projection_.RestorePoints({});
    } else if (own) {
      journal =
          SetAsideJournal(read_from, "The points saved for this plan before are set aside.\n");
    }
  }
  // Points kept for this plan by an earlier session that ended before a
  // save (a crash, a flat battery) are offered back, never merged.
  if (projection_.m_taps.empty() && !kept.taps.empty() &&
      messages_.AskYesNo("Restore " + std::to_string(kept.taps.size()) +
                         " reference points saved for this plan?")) {
    projection_.RestorePoints(std::move(kept.taps), std::move(kept.averaged));
  }
  ShowOutcome(projection_.SetPointsPath(journal ? points_path : ""), messages_, waves_);
}

bool CSiteView::SetAsideJournal(const std::string& path, const std::string& why) {
  std::string aside;
  const Status moved = CSiteProjection::SetAsidePoints(path, clock_.NowSeconds(), &aside);
  messages_.ShowOk(why + (moved.ok() ? "It is kept as " + aside + "."
                                     : "It could not be set aside (" + moved.message() +
                                           "), so the points of this plan are not journaled: "
                                           "save them to keep them."));
  return moved.ok();
}

void CSiteView::OnSaveProjection() {
  const std::optional<std::string> path = files_.SaveFile(kProjectionFilter, ".vlk", true, "");
  if (path) ShowOutcome(projection_.Save(*path), messages_, waves_);
}

void CSiteView::SetUpView(CSitePlan& view, QSize size) const {
  const PlanRect client = ClientRect();
  const int s = std::min(client.right - client.left, client.bottom - client.top);
  view.SetClientRect(client.left, client.top, client.right, client.bottom);
  view.SetPlanSize(0, 0, size.width(), size.height());
  view.SetView(0, 0, s, s);
}

void CSiteView::SetUpPlan() {
  const int plan_w = m_bmpPlan.width();
  const int plan_h = m_bmpPlan.height();
  SetUpView(plan_, m_bmpPlan.size());
  const QSignalBlocker block_h(horizontalScrollBar());
  const QSignalBlocker block_v(verticalScrollBar());
  verticalScrollBar()->setRange(0, plan_h);
  horizontalScrollBar()->setRange(0, plan_w);
  SetPageSteps();
  SyncScrollPositions();
}

void CSiteView::OnZoomIn() {
  plan_.ZoomIn();
  viewport()->update();
}

void CSiteView::OnZoomOut() {
  plan_.ZoomOut();
  viewport()->update();
}

void CSiteView::OnPointList() {
  CProList dialog(projection_.m_taps, [this](size_t index) {
    if (!messages_.AskYesNo("Do you wish to delete this point?")) return false;
    ShowOutcome(projection_.DeleteTap(index), messages_, waves_);
    viewport()->update();
    return true;
  });
  dialog.AllowSteps(
      [this](bool forward) {
        ShowOutcome(forward ? projection_.Redo() : projection_.Undo(), messages_, waves_);
        viewport()->update();
      },
      [this](bool forward) { return forward ? projection_.CanRedo() : projection_.CanUndo(); });
  dialog.exec();
}

void CSiteView::OnScrollAction(Qt::Orientation orientation, int action) {
  QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
  const int code = ScrollCodeOf(action);
  if (orientation == Qt::Horizontal) {
    OnHScroll(code, bar->sliderPosition());
  } else {
    OnVScroll(code, bar->sliderPosition());
  }
  // The bar then takes this position as its value.
  bar->setSliderPosition(orientation == Qt::Horizontal ? plan_.GetCenterX() : plan_.GetCenterY());
}

void CSiteView::OnHScroll(int code, int thumb) {
  const int page = viewport()->width();
  switch (code) {
    case kLineUp:
      plan_.ScrollLeft(kLineScroll);
      break;
    case kLineDown:
      plan_.ScrollRight(kLineScroll);
      break;
    case kPageUp:
      plan_.ScrollLeft(page);
      break;
    case kPageDown:
      plan_.ScrollRight(page);
      break;
    case kThumbTrack:
      plan_.SetCenterX(thumb);
      break;
    default:
      break;
  }
  const QSignalBlocker block(horizontalScrollBar());
  horizontalScrollBar()->setSliderPosition(plan_.GetCenterX());
  viewport()->update();
}

void CSiteView::OnVScroll(int code, int thumb) {
  const int page = viewport()->height();
  switch (code) {
    case kLineUp:
      plan_.ScrollUp(kLineScroll);
      break;
    case kLineDown:
      plan_.ScrollDown(kLineScroll);
      break;
    case kPageUp:
      plan_.ScrollUp(page);
      break;
    case kPageDown:
      plan_.ScrollDown(page);
      break;
    case kThumbTrack:
      plan_.SetCenterY(thumb);
      break;
    default:
      break;
  }
  const QSignalBlocker block(verticalScrollBar());
  verticalScrollBar()->setSliderPosition(plan_.GetCenterY());
  viewport()->update();
}

}  // namespace velkaro
