#pragma once

#include <string>

namespace velkaro {

// Why a file operation failed, in the categories the user is told about.
enum class FileErrorCause {
  kNone,
  kGeneric,
  kFileNotFound,
  kBadPath,
  kTooManyOpenFiles,
  kAccessDenied,
  kInvalidFile,
  kRemoveCurrentDir,
  kDirectoryFull,
  kBadSeek,
  kHardIO,
  kSharingViolation,
  kLockViolation,
  kDiskFull,
  kEndOfFile,
};

// The cause that a failed system call's errno stands for.
FileErrorCause FileErrorCauseFromErrno(int error_number);

// The user's text for a failure on `path`, e.g. "Access to /x.vlk was denied."
std::string FileErrorText(FileErrorCause cause, const std::string& path);

}  // namespace velkaro
