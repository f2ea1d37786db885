#include "gui/shell/about_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>

namespace velkaro {

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), icon_(new QLabel(this)), version_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("About Velkaro"));
  const QPixmap icon(QStringLiteral(":/icons/app"));
  if (!icon.isNull()) icon_->setPixmap(icon.scaled(32, 32, Qt::KeepAspectRatio));
  resize(240, 120);
}

void CAboutDlg::OnSize(const QSize& screen) {
  // The two layouts of the handheld's about box, converted from dialog units.
  const bool portrait = screen.height() > screen.width();
  if (portrait) {
    icon_->setGeometry(16, 16, 32, 32);
    version_->setGeometry(60, 16, 160, 16);
    version_->setText(QStringLiteral("Velkaro Version 1.03"));
  } else {
    icon_->setGeometry(16, 16, 32, 32);
    version_->setGeometry(60, 24, 200, 16);
    version_->setText(QStringLiteral("Velkaro Version 1.0"));
  }
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

QString CAboutDlg::VersionText() const { return version_->text(); }

void CAboutDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const QScreen* screen_now = screen() ? screen() : QGuiApplication::primaryScreen();
  OnSize(screen_now ? screen_now->size() : QSize(240, 320));
}

}  // namespace velkaro
