#pragma once

#include <string>

namespace velkaro {

// The modal message boxes the system shows: an OK box for reports, a Yes/No
// box for confirmations (only Yes acts). The GUI implements it with
// QMessageBox; the site model shows nothing itself (site/site_outcome.h).
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual void ShowOk(const std::string& text) = 0;
  // Returns true when the user answered Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
};

}  // namespace velkaro
