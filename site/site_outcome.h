#pragma once

#include "platform/status.h"

#include <string>
#include <utility>
#include <vector>

namespace velkaro {

// What a site operation has to tell the user, returned rather than shown:
// the model has no screen and no speaker, and the GUI and vlk show it each
// in their own way. The texts are shown in order, each in an OK box; when
// alarm is set, "REDALERT" plays after the last of them.
//
// An operation can succeed and still have something to say (a journal that
// could not be written, "Deleted."); a failure's own text is the last one.
class [[nodiscard]] SiteOutcome {
 public:
  SiteOutcome() = default;  // ok, nothing to say

  // The operation failed with `status`, whose message is said last; with
  // `alarm` the failure is one the user must hear.
  static SiteOutcome Failed(Status status, bool alarm = false) {
    SiteOutcome outcome;
    outcome.Fail(std::move(status), alarm);
    return outcome;
  }

  bool ok() const { return status_.ok(); }
  // Ok, or the failure.
  const Status& status() const { return status_; }
  // The texts for the user, in the order they are to be shown.
  const std::vector<std::string>& messages() const { return messages_; }
  // Whether "REDALERT" is due once the texts are shown.
  bool alarm() const { return alarm_; }
  // Texts for the status line rather than a box: where a file went.
  const std::vector<std::string>& notes() const { return notes_; }

  void Say(std::string text) { messages_.push_back(std::move(text)); }
  void Note(std::string text) { notes_.push_back(std::move(text)); }
  // REQUIRES: `status` is a failure; it replaces an earlier one.
  void Fail(Status status, bool alarm = false) {
    Say(status.message());
    status_ = std::move(status);
    alarm_ = alarm_ || alarm;
  }
  // Appends what `later` has to say, and takes its failure if it failed.
  void Append(SiteOutcome later) {
    for (std::string& text : later.messages_) messages_.push_back(std::move(text));
    for (std::string& text : later.notes_) notes_.push_back(std::move(text));
    if (!later.ok()) status_ = std::move(later.status_);
    alarm_ = alarm_ || later.alarm_;
  }

 private:
  Status status_;
  std::vector<std::string> messages_;
  std::vector<std::string> notes_;
  bool alarm_ = false;
};

}  // namespace velkaro
