#pragma once

#include "gui/common/command_target.h"

#include <functional>

#include <QImage>
#include <QWidget>

namespace velkaro {

class CDraw;
class CEngine;
class IViewSwitcher;

// The first screen: the title picture with the board's firmware version and
// serial number as the engine last received them. The first press anywhere
// beeps and asks the frame for the site view, for the rest of the run.
// UI thread only; `engine`, `draw` and `switcher` must outlive the view.
class CVelkaroView : public QWidget, public ICommandTarget {
  Q_OBJECT

 public:
  CVelkaroView(const CEngine& engine, CDraw& draw, IViewSwitcher& switcher,
               std::function<void()> beep, QWidget* parent = nullptr);

  // The whole client area, composed off screen from the engine's texts now.
  QImage OnDraw() const;
  void OnLButtonDown(const QPoint& point);

  // The status view handles no command of its own.
  bool HandlesCommand(int) const override { return false; }
  void OnCommand(int) override {}

  // 12-point Arial at the handheld's 96 dpi.
  static QFont TextFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  const CEngine& engine_;
  CDraw& draw_;
  IViewSwitcher& switcher_;
  std::function<void()> beep_;
};

}  // namespace velkaro
