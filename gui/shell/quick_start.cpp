#include "gui/shell/quick_start.h"

#include "gui/common/quick_start.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPainter>

namespace velkaro {

namespace {

class QuickStartDialog : public QDialog {
 public:
  explicit QuickStartDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Quick start"));
    resize(480, 530);  // twice the handheld's picture
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter dc(this);
    DrawQuickStart(dc, rect());
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
      accept();
      return;
    }
    QDialog::keyPressEvent(event);
  }
};

}  // namespace

void ShowQuickStart(QWidget* parent) {
  QuickStartDialog dialog(parent);
  dialog.exec();
}

}  // namespace velkaro
