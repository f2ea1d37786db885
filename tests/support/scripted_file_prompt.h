#pragma once

// The file dialogs as a test (or the scripted demo) answers them.

#include "platform/file_prompt.h"
#include "tests/support/event_trail.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::testing {

// Answers from a queue (an empty optional is a cancel; an empty queue
// cancels too) and records what each dialog was asked with. With a trail,
// each dialog is logged there too ("open", "save PROPOSED"). When `probe` is
// set it is called as each dialog shows and its answer is kept with the
// request: the GUI tests ask whether the wait cursor was up.
class ScriptedFilePrompt : public IFilePrompt {
 public:
  struct Request {
    bool save = false;
    std::string title;
    std::string filter;
    std::string default_ext;
    bool overwrite_prompt = false;
    std::string proposed_name;  // save dialogs only
    bool probed = false;        // what `probe` answered; false without one
  };

  ScriptedFilePrompt() = default;
  // REQUIRES: `trail` outlives the prompt.
  explicit ScriptedFilePrompt(EventTrail& trail) : trail_(&trail) {}

  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext) override {
    if (trail_ != nullptr) trail_->Add("open");
    requests.push_back({false, title, filter, default_ext, false, "", probe && probe()});
    return Next();
  }
  std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext, bool overwrite_prompt,
                                      const std::string& proposed_name) override {
    if (trail_ != nullptr) trail_->Add("save " + proposed_name);
    requests.push_back(
        {true, title, filter, default_ext, overwrite_prompt, proposed_name, probe && probe()});
    return Next();
  }

  std::deque<std::optional<std::string>> answers;
  std::vector<Request> requests;
  std::function<bool()> probe;

 private:
  std::optional<std::string> Next() {
    if (answers.empty()) return std::nullopt;
    auto answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }

  EventTrail* trail_ = nullptr;
};

}  // namespace velkaro::testing
