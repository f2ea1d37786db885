#pragma once

#include "site/point_fit.h"
#include "site/site_projection.h"

#include <functional>
#include <string>
#include <vector>

#include <QDialog>

class QListWidget;
class QPushButton;

namespace velkaro {

// One row of the point list: "%03d  %03d   %.4f  %.4f" of x, y, lat, lon.
std::string PointRow(const CSiteProjection::_tap& tap);

// The residual columns that follow the designed row once the points fit:
// "  12.3 px   6.1 m", with " !" after a point flagged as far off the others.
std::string ResidualColumns(const PointResidual& residual);

// The point list: a header row, then one row per reference point in capture
// order, each followed by its residual against the fit of the current
// points (from three points on). "Delete Selected Point" asks `remove` to
// delete the selected row's point (it asks the user and says what happened)
// and, when it did, shows the list anew from `taps`; "Undo" and "Redo"
// (Ctrl+Z, Ctrl+Shift+Z) take a step back or forward the same way once
// AllowSteps has given them their work.
// UI thread only; `taps` must outlive the dialog.
class CProList : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kHeaderRow = "X     Y       Latitude   Longitude";
  static constexpr const char* kResidualHeader = "    residual";

  // Deletes the point at the index given, in capture order; true when it did.
  using RemovePoint = std::function<bool(size_t index)>;

  CProList(const std::vector<CSiteProjection::_tap>& taps, RemovePoint remove = {},
           QWidget* parent = nullptr);

  // Takes a step back (false) or forward (true) through the captures and
  // deletions, and tells whether one can be taken.
  using StepPoints = std::function<void(bool forward)>;
  using CanStep = std::function<bool(bool forward)>;
  void AllowSteps(StepPoints step, CanStep can_step);

  // Fills the list from the points as they stand now.
  void ShowPoints();

  QListWidget* m_list;
  QPushButton* m_delete;
  QPushButton* m_undo;
  QPushButton* m_redo;

 private:
  void DeleteSelected();
  void Step(bool forward);

  const std::vector<CSiteProjection::_tap>& taps_;
  RemovePoint remove_;
  StepPoints step_;
  CanStep can_step_;
};

}  // namespace velkaro
