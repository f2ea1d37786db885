#pragma once

#include <optional>
#include <string>

namespace velkaro {

// The modal file dialogs the site view asks for a path with. Filters are in
// the handheld's form, "Description|pattern|Description|pattern||"; the
// default extension is appended to a typed name that has none.
// `title` says what the dialog is for ("Open projection file").
// Returns the chosen path, or nullopt when the user cancelled.
class IFilePrompt {
 public:
  virtual ~IFilePrompt() = default;
  // The chosen file must exist.
  virtual std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                              const std::string& default_ext) = 0;
  // The chosen file's folder must exist; with `overwrite_prompt` the user is
  // asked before an existing file is chosen.
  virtual std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                              const std::string& default_ext, bool overwrite_prompt,
                                              const std::string& proposed_name) = 0;
};

}  // namespace velkaro
