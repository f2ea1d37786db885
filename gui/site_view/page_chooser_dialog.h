#pragma once

#include "import/raster_to_bmp.h"

#include <optional>
#include <string>

#include <QDialog>

class QSpinBox;

namespace velkaro {

// Asks which page of a PDF of several pages becomes the plan, and at what
// resolution it is rendered (0, shown as "automatic", gives the long side
// at least 6000 pixels). Returns the choice, or nothing when cancelled.
// UI thread only.
class CPageChooser : public QDialog {
  Q_OBJECT

 public:
  CPageChooser(QWidget* parent, const std::string& path, int pages);

  plan_import::SourceChoice Choice() const;
  QSpinBox* PageBox() const { return page_; }
  QSpinBox* DpiBox() const { return dpi_; }

 private:
  QSpinBox* page_;
  QSpinBox* dpi_;
};

std::optional<plan_import::SourceChoice> ChoosePdfPage(QWidget* parent, const std::string& path,
                                                        int pages);

}  // namespace velkaro
