#include "gui/site_view/point_list_dialog.h"

#include <cstdio>

#include <QHBoxLayout>
#include <QKeySequence>
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

std::string ResidualColumns(const PointResidual& residual) {
  char columns[64];
  std::snprintf(columns, sizeof columns, "  %5.1f px  %5.1f m%s", residual.pixels, residual.metres,
                residual.flagged ? " !" : "");
  return columns;
}

CProList::CProList(const std::vector<CSiteProjection::_tap>& taps, RemovePoint remove,
                   QWidget* parent)
    : QDialog(parent),
      m_list(new QListWidget(this)),
      m_delete(new QPushButton(QStringLiteral("Delete Selected Point"), this)),
      m_undo(new QPushButton(QStringLiteral("Undo"), this)),
      m_redo(new QPushButton(QStringLiteral("Redo"), this)),
      taps_(taps),
      remove_(std::move(remove)) {
  setWindowTitle(QStringLiteral("Point List"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(QStringLiteral("LIST OF POINTS"), this);
  caption->setAlignment(Qt::AlignCenter);
  layout->addWidget(caption);
  m_list->setSortingEnabled(false);
  m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(m_list);
  m_delete->setAutoDefault(false);
  layout->addWidget(m_delete);
  auto* steps = new QHBoxLayout;
  for (QPushButton* button : {m_undo, m_redo}) {
    button->setAutoDefault(false);
    button->setVisible(false);  // until AllowSteps
    steps->addWidget(button);
  }
  m_undo->setShortcut(QKeySequence::Undo);
  m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  layout->addLayout(steps);
  connect(m_undo, &QPushButton::clicked, this, [this] { Step(false); });
  connect(m_redo, &QPushButton::clicked, this, [this] { Step(true); });
  // Only a point's row can be deleted, not the header.
  connect(m_list, &QListWidget::currentRowChanged, this,
          [this](int row) { m_delete->setEnabled(remove_ && row >= 1); });
  connect(m_delete, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  ShowPoints();
  // Sized like the handheld's full-screen dialog.
  resize(240, 266);
}

void CProList::ShowPoints() {
  const PointFit fit = FitPoints(taps_);
  m_list->clear();
  m_list->addItem(QString::fromLatin1(kHeaderRow) +
                  (fit.fitted() ? QString::fromLatin1(kResidualHeader) : QString()));
  for (size_t i = 0; i < taps_.size(); ++i) {
    std::string row = PointRow(taps_[i]);
    if (fit.fitted()) row += ResidualColumns(fit.points[i]);
    m_list->addItem(QString::fromStdString(row));
  }
  m_delete->setEnabled(false);
  m_undo->setEnabled(can_step_ && can_step_(false));
  m_redo->setEnabled(can_step_ && can_step_(true));
}

void CProList::AllowSteps(StepPoints step, CanStep can_step) {
  step_ = std::move(step);
  can_step_ = std::move(can_step);
  m_undo->setVisible(true);
  m_redo->setVisible(true);
  ShowPoints();
}

void CProList::Step(bool forward) {
  if (!step_ || !can_step_ || !can_step_(forward)) return;
  step_(forward);
  ShowPoints();
}

void CProList::DeleteSelected() {
  const int row = m_list->currentRow();
  if (!remove_ || row < 1 || static_cast<size_t>(row) > taps_.size()) return;
  if (remove_(static_cast<size_t>(row - 1))) ShowPoints();
}

}  // namespace velkaro
