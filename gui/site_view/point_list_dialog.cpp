#include "gui/site_view/point_list_dialog.h"

#include <cstdio>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velkaro {

std::string PointRow(const CSiteProjection::_tap& tap) {
  char row[128];
  std::snprintf(row, sizeof row, "%03d  %03d   %.4f  %.4f", static_cast<int>(tap.x),
                static_cast<int>(tap.y), tap.lat, tap.lon);
  return row;
}

CProList::CProList(const std::vector<CSiteProjection::_tap>& taps, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Point List"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(QStringLiteral("LIST OF POINTS"), this);
  caption->setAlignment(Qt::AlignCenter);
  layout->addWidget(caption);

  m_list->setSortingEnabled(false);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_list->addItem(QString::fromLatin1(kHeaderRow));
  for (const CSiteProjection::_tap& tap : taps) {
    m_list->addItem(QString::fromStdString(PointRow(tap)));
  }
  layout->addWidget(m_list);

  auto* remove = new QPushButton(QStringLiteral("Delete Selected Point"), this);
  remove->setAutoDefault(false);
  layout->addWidget(remove);
  // Sized like the handheld's full-screen dialog.
  resize(240, 266);
}

}  // namespace velkaro
