#include "platform/file_error.h"

#include <cerrno>

namespace velkaro {

FileErrorCause FileErrorCauseFromErrno(int error_number) {
  switch (error_number) {
    case 0:
      return FileErrorCause::kNone;
    case ENOENT:
      return FileErrorCause::kFileNotFound;
    case ENAMETOOLONG:
    case ENOTDIR:
    case EISDIR:
    case ELOOP:
    case EINVAL:
      return FileErrorCause::kBadPath;
    case EMFILE:
    case ENFILE:
      return FileErrorCause::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
      return FileErrorCause::kAccessDenied;
    case EBADF:
      return FileErrorCause::kInvalidFile;
    case EBUSY:
      return FileErrorCause::kSharingViolation;
    case ESPIPE:
      return FileErrorCause::kBadSeek;
    case EIO:
      return FileErrorCause::kHardIO;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileErrorCause::kDiskFull;
    case ENOLCK:
    case EDEADLK:
      return FileErrorCause::kLockViolation;
    case EMLINK:
      return FileErrorCause::kDirectoryFull;
    default:
      return FileErrorCause::kGeneric;
  }
}

std::string FileErrorText(FileErrorCause cause, const std::string& path) {
  switch (cause) {
    case FileErrorCause::kNone:
      return "No error occurred.";
    case FileErrorCause::kGeneric:
      return "An unknown error occurred while accessing " + path + ".";
    case FileErrorCause::kFileNotFound:
      return path + " was not found.";
    case FileErrorCause::kBadPath:
      return path + " contains an invalid path.";
    case FileErrorCause::kTooManyOpenFiles:
      return path + " could not be opened because there are too many open files.";
    case FileErrorCause::kAccessDenied:
      return "Access to " + path + " was denied.";
    case FileErrorCause::kInvalidFile:
      return "An invalid file handle was associated with " + path + ".";
    case FileErrorCause::kRemoveCurrentDir:
      return path + " could not be removed because it is the current directory.";
    case FileErrorCause::kDirectoryFull:
      return path + " could not be created because the directory is full.";
    case FileErrorCause::kBadSeek:
      return "Seek failed on " + path;
    case FileErrorCause::kHardIO:
      return "A hardware I/O error was reported while accessing " + path + ".";
    case FileErrorCause::kSharingViolation:
      return "A sharing violation occurred while accessing " + path + ".";
    case FileErrorCause::kLockViolation:
      return "A locking violation occurred while accessing " + path + ".";
    case FileErrorCause::kDiskFull:
      return "Disk full while accessing " + path + ".";
    case FileErrorCause::kEndOfFile:
      return "An attempt was made to access " + path + " past its end.";
  }
  return "An unknown error occurred while accessing " + path + ".";
}

}  // namespace velkaro
