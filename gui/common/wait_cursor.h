#pragma once

#include <QApplication>

namespace velkaro {

// The wait cursor while a command works: up when constructed, restored on
// every way out of the scope, or earlier by End(). UI thread only.
class WaitCursor {
 public:
  explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) {
    QApplication::setOverrideCursor(shape);
  }
  ~WaitCursor() { End(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

  void End() {
    if (active_) QApplication::restoreOverrideCursor();
    active_ = false;
  }

 private:
  bool active_ = true;
};

}  // namespace velkaro
