#pragma once

#include <string>

namespace velkaro {

// The modal message boxes the system shows: an OK box for reports, a Yes/No
// box for confirmations (only Yes acts). Core code reports to the user only
// through this interface; the GUI implements it with QMessageBox.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void ShowOk(const std::string& text) = 0;
  // Returns true when the user answered Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
};

// For command-line tools: prints each text on standard error, answers No.
class StderrMessageBox : public IMessageBox {
 public:
  void ShowOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
};

}  // namespace velkaro
