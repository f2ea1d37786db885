#pragma once

#include "platform/file_prompt.h"

#include <string>

class QWidget;

namespace velkaro {

// "Bitmap Files (*.bmp)|*.bmp|All Files (*.*)|*.*||" becomes
// "Bitmap Files (*.bmp);;All Files (*)": each description with the pattern
// Qt matches on ("*.*" on the handheld means every file, "*" here). A
// description that already names its pattern in brackets keeps its text.
std::string QtFilterFromHandheld(const std::string& filter);

// The extension without its dot, lower case: ".vlk" and "VLK" give "vlk".
std::string NormalisedSuffix(const std::string& default_ext);

// QFileDialog-based prompts. UI thread only.
class QtFilePrompt : public IFilePrompt {
 public:
  explicit QtFilePrompt(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::optional<std::string> OpenFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext) override;
  std::optional<std::string> SaveFile(const std::string& title, const std::string& filter,
                                      const std::string& default_ext,
                                      bool overwrite_prompt,
                                      const std::string& proposed_name) override;

 private:
  QWidget* parent_;
};

}  // namespace velkaro
