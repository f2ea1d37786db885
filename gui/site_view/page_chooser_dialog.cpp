#include "gui/site_view/page_chooser_dialog.h"

#include "platform/path_names.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace velkaro {

CPageChooser::CPageChooser(QWidget* parent, const std::string& path, int pages)
    : QDialog(parent), page_(new QSpinBox(this)), dpi_(new QSpinBox(this)) {
  setWindowTitle("Choose Page");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromStdString(BaseName(path) + " has " +
                                                      std::to_string(pages) +
                                                      " pages. Which one is the plan?")));
  auto* form = new QFormLayout;
  page_->setRange(1, pages);
  form->addRow("Page", page_);
  dpi_->setRange(0, 2400);
  dpi_->setSuffix(" dpi");
  dpi_->setSpecialValueText("automatic");
  form->addRow("Resolution", dpi_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

plan_import::SourceChoice CPageChooser::Choice() const {
  return {.page = page_->value(), .dpi = double(dpi_->value())};
}

std::optional<plan_import::SourceChoice> ChoosePdfPage(QWidget* parent, const std::string& path,
                                                        int pages) {
  CPageChooser chooser(parent, path, pages);
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  return chooser.Choice();
}

}  // namespace velkaro
