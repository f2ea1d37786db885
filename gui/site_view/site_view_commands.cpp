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
#include "platform/path_names.h"
#include "site/side_files.h"
#include "site/site_projection.h"

#include <cctype>
#include <cerrno>
#include <cstring>
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
  return (id >= ID_NEW_PROJECTION && id <= ID_POINT_LIST) || id == ID_UNDO || id == ID_REDO ||
         id == ID_WHOLE_PLAN || id == ID_EXPORT;
}

void CSiteView::OnCommand(int id) {
  if (RefusedWhileLoading() || exporting_) return;
  // A command other than zooming ends the window: another plan, a save or
  // an undo would not leave it the point it was opened for.
  if (average_ && id != ID_ZOOM_IN && id != ID_ZOOM_OUT && id != ID_WHOLE_PLAN) CancelAverage();
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
    case ID_WHOLE_PLAN:
      OnWholePlan();
      break;
    case ID_EXPORT:
      OnExport();
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
  plan_not_written_.clear();
  return true;
}

void CSiteView::OnNewProjection() {
  const std::optional<std::string> path = files_.OpenFile("Load plan bitmap", kBitmapFilter, "BMP");
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
        projection_.UsePlan(load.plan_path);
        SetUpPlan();
        // A converted plan's points are kept beside the file the user chose.
        TakePointsJournal(load.points_path.empty()
                              ? SideFilePath(load.plan_path, SideFile::kPoints)
                              : load.points_path);
        // The title names the file the user chose, not its converted bitmap.
        document_path_ = load.points_path.empty()
                             ? load.plan_path
                             : load.points_path.substr(0, load.points_path.size() - 7);
        saved_taps_.clear();  // what was restored is in no projection file yet
        emit documentChanged();
        // Where a converted bitmap had to go (the cache folder) is for the status bar.
        if (!load.note.empty()) emit noted(QString::fromStdString(load.note));
      });
}

void CSiteView::OnOpenProjection() {
  const std::optional<std::string> path = files_.OpenFile("Open projection file", kProjectionFilter, "VLK");
  if (!path) return;
  StartLoad(
      [path = *path](const LoadProgress& progress, const PlanPreview& preview) {
        // The worker commits the side files once the plan is taken.
        return LoadProjectionFile(path, progress, preview, SideFilesCommit::kByCaller);
      },
      [this, path = *path](PlanLoad& load) {
        // What the projection's own load changes, it changes here: its path
        // always, the plan path once the plan was expanded. A failed load
        // names the bitmap this file would have given, never an earlier plan.
        projection_.NoteOpened(path);
        Report(load.opened);
        // A refused file has said why; the plan it did not give is not
        // another error.
        if (!load.opened.ok()) return;
        projection_.UsePlan(load.plan_path);
        if (!TakePlan(load)) return;
        SetUpPlan();
        TakePointsJournal(SideFilePath(path, SideFile::kPoints));
        // The points kept beside the file are taken as the ones it was saved with.
        document_path_ = path;
        saved_taps_ = projection_.m_taps;
        emit documentChanged();
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
  const std::optional<std::string> path =
      files_.SaveFile("Save projection file", kProjectionFilter, ".vlk", true, ProposedSaveName());
  if (!path) return;
  // The save compresses the plan's side file, which must be whole first.
  WaitForSideFiles();
  if (!plan_not_written_.empty()) {
    const std::string name = BaseName(plan_not_written_);
    messages_.ShowOk("The plan of " + name + " could not be written beside it, so it cannot be " +
                     "saved. Open " + name + " again, then save.");
    return;
  }
  SiteOutcome saved = projection_.Save(*path);
  if (saved.ok()) {
    saved.Note("Saved " + *path + ".");
    document_path_ = *path;
    saved_taps_ = projection_.m_taps;
    emit documentChanged();
  }
  Report(saved);
}

void CSiteView::Report(const SiteOutcome& outcome) {
  ShowOutcome(outcome, messages_, waves_);
  for (const std::string& note : outcome.notes()) emit noted(QString::fromStdString(note));
}

void CSiteView::SetUpView(CSitePlan& view, QSize size) const {
  const PlanRect client = ClientRect();
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;
  const int s = std::min(w, h);
  view.SetClientRect(client.left, client.top, client.right, client.bottom);
  view.SetPlanSize(0, 0, size.width(), size.height());
  // The handheld's window shows the plan in the square of its shorter side;
  // a wider one shows it with square pixels.
  const bool shaped = w > kHandheldWidth;
  view.UseClientShape(shaped);
  view.SetView(0, 0, shaped ? w : s, shaped ? h : s);
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
  SyncScrollPositions();
  viewport()->update();
}

void CSiteView::OnZoomOut() {
  plan_.ZoomOut();
  SyncScrollPositions();
  viewport()->update();
}

void CSiteView::OnWholePlan() {
  if (!m_bPlanLoaded) return;
  plan_.ShowWholePlan();
  SyncScrollPositions();
  viewport()->update();
}

void CSiteView::ZoomAbout(bool in, const QPoint& at) {
  if (!m_bPlanLoaded || loading_) return;
  const PlanRect client = ClientRect();
  int32_t before_x = 0, before_y = 0, after_x = 0, after_y = 0;
  plan_.ScreenToPlan(client, at.x(), at.y(), before_x, before_y);
  if (in) {
    if (!plan_.ZoomIn()) return;
  } else {
    if (!plan_.CanZoomOut()) return;
    plan_.ZoomOut();
  }
  // The pixel that was under the pointer goes back under it.
  plan_.ScreenToPlan(client, at.x(), at.y(), after_x, after_y);
  plan_.SetCenterX(plan_.GetCenterX() + (before_x - after_x));
  plan_.SetCenterY(plan_.GetCenterY() + (before_y - after_y));
  SyncScrollPositions();
  viewport()->update();
  NoteCursor(at);
}

std::string CSiteView::DocumentName() const { return BaseName(document_path_); }

bool CSiteView::HasUnsavedPoints() const {
  const auto& taps = projection_.m_taps;
  // The records are packed and their flag is always 0: equal bytes are equal points.
  return taps.size() != saved_taps_.size() ||
         (!taps.empty() &&
          std::memcmp(taps.data(), saved_taps_.data(), taps.size() * sizeof(taps[0])) != 0);
}

std::string CSiteView::ProposedSaveName() const {
  if (!projection_.m_strPath.empty()) return projection_.m_strPath;
  // The file the user chose: a converted plan's bitmap may be in the cache.
  std::string name = document_path_.empty() ? projection_.m_strPlanPath : document_path_;
  const auto ends_with = [&name](const std::string& tail) {
    if (name.size() <= tail.size()) return false;
    std::string end = name.substr(name.size() - tail.size());
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == tail;
  };
  // "campus.bmp" -> "campus.vlk"; a plan converted from "site.pdf" is
  // "site.pdf.bmp" -> "site.vlk".
  if (ends_with(".bmp")) name.resize(name.size() - 4);
  for (const char* kind : {".pdf", ".png", ".jpg", ".jpeg", ".tif", ".tiff", ".webp", ".gif", ".jp2"}) {
    if (ends_with(kind)) {
      name.resize(name.size() - std::strlen(kind));
      break;
    }
  }
  return name.empty() ? "" : name + ".vlk";
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
