#pragma once

#include "platform/message_box.h"

class QWidget;

namespace velkaro {

// Modal QMessageBox boxes titled "Velkaro", centred on `parent` (may be null).
// UI thread only.
class QtMessageBox : public IMessageBox {
 public:
  explicit QtMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

 private:
  QWidget* parent_;
};

}  // namespace velkaro
