#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace velkaro {

// The modal file dialogs the site view asks for a path with. Filters are in
// the handheld's form, "Description|pattern|Description|pattern||"; the
// default extension is appended to a typed name that has none.
// Returns the chosen path, or nullopt when the user cancelled.
class IFilePrompt {
 public:
  virtual ~IFilePrompt() = default;
  // The chosen file must exist.
  virtual std::optional<std::string> OpenFile(const std::string& filter,
                                              const std::string& default_ext) = 0;
  // The chosen file's folder must exist; with `overwrite_prompt` the user is
  // asked before an existing file is chosen.
  virtual std::optional<std::string> SaveFile(const std::string& filter,
                                              const std::string& default_ext, bool overwrite_prompt,
                                              const std::string& proposed_name) = 0;
};

// For tests: answers from a queue (an empty optional is a cancel; an empty
// queue cancels too) and records what each dialog was asked with.
class ScriptedFilePrompt : public IFilePrompt {
 public:
  struct Request {
    bool save = false;
    std::string filter;
    std::string default_ext;
    bool overwrite_prompt = false;
  };

  std::optional<std::string> OpenFile(const std::string& filter,
                                      const std::string& default_ext) override {
    requests.push_back({false, filter, default_ext, false});
    return Next();
  }
  std::optional<std::string> SaveFile(const std::string& filter, const std::string& default_ext,
                                      bool overwrite_prompt, const std::string&) override {
    requests.push_back({true, filter, default_ext, overwrite_prompt});
    return Next();
  }

  std::deque<std::optional<std::string>> answers;
  std::vector<Request> requests;

 private:
  std::optional<std::string> Next() {
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace velkaro
