#pragma once

#include "platform/file_error.h"

#include <string>
#include <utility>

namespace velkaro {

// What an operation below the GUI says about itself, in the manner of
// leveldb's Status: either ok, or a code saying what kind of failure it was,
// the file-error cause and the file's path where the failure is a file's,
// and the text the user is told. The one error style for everything the
// design does not name; the design's own file errors (FileErrorCause, the
// causes of its file exceptions) ride inside it.
//
// Cheap to copy when ok (no allocation); [[nodiscard]] so that no failure is
// dropped unread.
class [[nodiscard]] Status {
 public:
  enum class Code {
    kOk,
    kFileError,    // a file could not be opened, read or written: cause(), path()
    kInvalid,      // the bytes are not what they claim to be
    kUnsupported,  // well-formed, but of a kind this reader does not take
    kNoMemory,     // the result would not fit in the memory allowed for it
  };

  Status() = default;  // ok

  static Status Ok() { return Status(); }
  // The design's file error on `path`; message() is its designed text
  // ("Access to /x.vlk was denied."). kNone is taken as kGeneric: a failure
  // always has a cause.
  static Status FileError(FileErrorCause cause, std::string path) {
    if (cause == FileErrorCause::kNone) cause = FileErrorCause::kGeneric;
    std::string text = FileErrorText(cause, path);
    return Status(Code::kFileError, cause, std::move(path), std::move(text));
  }
  // The same, from a failed system call's errno, which last_error() keeps.
  static Status FromErrno(int error_number, std::string path) {
    return FileError(FileErrorCauseFromErrno(error_number), std::move(path))
        .WithLastError(error_number);
  }
  static Status Invalid(std::string message, std::string path = {}) {
    return Status(Code::kInvalid, FileErrorCause::kNone, std::move(path), std::move(message));
  }
  static Status Unsupported(std::string message, std::string path = {}) {
    return Status(Code::kUnsupported, FileErrorCause::kNone, std::move(path), std::move(message));
  }
  static Status NoMemory(std::string message, std::string path = {}) {
    return Status(Code::kNoMemory, FileErrorCause::kNone, std::move(path), std::move(message));
  }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  // kNone unless code() is kFileError.
  FileErrorCause cause() const { return cause_; }
  // The file the failure concerns; may be empty.
  const std::string& path() const { return path_; }
  // The user's text; empty when ok.
  const std::string& message() const { return message_; }
  // The platform's last error code (an errno) behind the failure, the number
  // the designed "Error (N)" texts show; 0 where the system named none.
  int last_error() const { return last_error_; }
  // This status, naming `error_number` as the platform's last error.
  Status WithLastError(int error_number) && {
    last_error_ = error_number;
    return std::move(*this);
  }

  // Explicitly ignores the status, where a failure changes nothing (a clean-up).
  void IgnoreError() const {}

 private:
  Status(Code code, FileErrorCause cause, std::string path, std::string message)
      : code_(code), cause_(cause), path_(std::move(path)), message_(std::move(message)) {}

  Code code_ = Code::kOk;
  FileErrorCause cause_ = FileErrorCause::kNone;
  std::string path_;
  std::string message_;
  int last_error_ = 0;
};

}  // namespace velkaro
