#pragma once

#include "platform/atomic_file.h"
#include "platform/file_error.h"

#include <string>
#include <unistd.h>

namespace velkaro::gis {

// A file GDAL writes by path, all or nothing: GDAL writes `temp()`, a hidden
// name beside the target, and Commit() renames it over the target once it is
// complete. Without a successful Commit the temporary file is removed, so a
// failed export leaves neither a partial target nor a stray file.
class SiblingOutput {
 public:
  explicit SiblingOutput(std::string target)
      : target_(std::move(target)), temp_(HiddenSiblingName(target_)) {}
  ~SiblingOutput() {
    if (!committed_) ::unlink(temp_.c_str());
  }
  SiblingOutput(const SiblingOutput&) = delete;
  SiblingOutput& operator=(const SiblingOutput&) = delete;

  const std::string& temp() const { return temp_; }

  // `text` (a library's message) with the temporary name replaced by the
  // target's: the user knows only the target.
  std::string InTargetTerms(std::string text) const {
    for (size_t at = text.find(temp_); at != std::string::npos;
         at = text.find(temp_, at + target_.size()))
      text.replace(at, temp_.size(), target_);
    return text;
  }

  // The failure's text, naming the target, or empty on success.
  std::string Commit() {
    const FileErrorCause cause = CommitSibling(temp_, target_);
    committed_ = cause == FileErrorCause::kNone;
    return committed_ ? std::string() : FileErrorText(cause, target_);
  }

 private:
  std::string target_;
  std::string temp_;
  bool committed_ = false;
};

}  // namespace velkaro::gis
