#include "gui/qt_platform/qt_message_box.h"

#include <QMessageBox>
#include <QString>

namespace velkaro {

void QtMessageBox::ShowOk(const std::string& text) {
  QMessageBox::information(parent_, QStringLiteral("Velkaro"), QString::fromStdString(text),
                           QMessageBox::Ok);
}

bool QtMessageBox::AskYesNo(const std::string& text) {
  return QMessageBox::question(parent_, QStringLiteral("Velkaro"), QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace velkaro
