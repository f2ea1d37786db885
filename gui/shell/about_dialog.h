#pragma once

#include <QDialog>
#include <QSize>

class QLabel;

namespace velkaro {

// "About Velkaro": the application icon and the version text, laid out for
// a portrait screen ("Velkaro Version 1.03") or a landscape one ("Velkaro
// Version 1.0") each time the dialog is sized. UI thread only.
class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  // Lays the controls out for a screen of `screen` size.
  void OnSize(const QSize& screen);
  QString VersionText() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Return and Enter close the box as Escape does: it has no button.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* icon_;
  QLabel* version_;
};

}  // namespace velkaro
