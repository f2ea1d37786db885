#pragma once

#include "site/site_projection.h"

#include <string>
#include <vector>

#include <QDialog>

class QListWidget;

namespace velkaro {

// One row of the point list: "%03d  %03d   %.4f  %.4f" of x, y, lat, lon.
std::string PointRow(const CSiteProjection::_tap& tap);

// The point list: a header row, then one row per reference point in capture
// order, as they stood when the dialog opened. The "Delete Selected Point"
// button has no action; points are deleted by a hold on the plan.
// UI thread only.
class CProList : public QDialog {
  Q_OBJECT

 public:
  static constexpr const char* kHeaderRow = "X     Y       Latitude   Longitude";

  explicit CProList(const std::vector<CSiteProjection::_tap>& taps, QWidget* parent = nullptr);

  QListWidget* m_list;
};

}  // namespace velkaro
