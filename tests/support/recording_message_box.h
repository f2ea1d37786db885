#pragma once

// The message boxes as a test sees them.

#include "platform/message_box.h"
#include "tests/support/event_trail.h"

#include <functional>
#include <string>
#include <vector>

namespace velkaro::testing {

// Records every text in order and answers Yes/No from a preset. With a
// trail, each box is logged there too ("ok TEXT", "ask TEXT"). When `probe`
// is set it is called as each OK box shows and its answers are kept: the GUI
// tests ask whether the wait cursor was up.
class RecordingMessageBox : public IMessageBox {
 public:
  RecordingMessageBox() = default;
  // REQUIRES: `trail` outlives the message box.
  explicit RecordingMessageBox(EventTrail& trail) : trail_(&trail) {}

  void ShowOk(const std::string& text) override {
    shown.push_back(text);
    if (trail_ != nullptr) trail_->Add("ok " + text);
    if (probe) probed_at_ok.push_back(probe());
  }
  bool AskYesNo(const std::string& text) override {
    asked.push_back(text);
    if (trail_ != nullptr) trail_->Add("ask " + text);
    if (while_asking) while_asking();
    return answer_yes;
  }

  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool answer_yes = true;
  std::function<bool()> probe;
  // Runs while a question is open, as the user would see the window then.
  std::function<void()> while_asking;
  std::vector<bool> probed_at_ok;

 private:
  EventTrail* trail_ = nullptr;
};

}  // namespace velkaro::testing
