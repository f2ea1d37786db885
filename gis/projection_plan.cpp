#include "gis/projection_plan.h"

#include "compression/compression.h"
#include "platform/file_error.h"
#include "site/projection_file_format.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace velkaro::gis {
namespace {

// An unnamed file in the temporary folder; a named one, unlinked at once,
// where the file system has no O_TMPFILE. -1 and errno on failure.
int OpenUnnamedTemp() {
  std::error_code error;
  const std::string folder = std::filesystem::temp_directory_path(error).string();
  if (error) return -1;
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string pattern = folder + "/velkaro-plan-XXXXXX";
  const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (named >= 0) ::unlink(pattern.c_str());
  return named;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

ExpandedPlan::~ExpandedPlan() {
  if (fd_ >= 0) ::close(fd_);
}

std::string ExpandedPlan::Expand(const std::string& path) {
  const std::string temp_name = "the temporary plan bitmap";
  const int fd = OpenUnnamedTemp();
  if (fd < 0) return FileErrorText(FileErrorCauseFromErrno(errno), temp_name);
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;

  FilePtr source(std::fopen(path.c_str(), "rb"));
  if (source == nullptr) return FileErrorText(FileErrorCauseFromErrno(errno), path);
  if (std::fseek(source.get(), kProjectionBlockOffset, SEEK_SET) != 0)
    return FileErrorText(FileErrorCauseFromErrno(errno), path);
  const int copy = ::dup(fd_);
  FilePtr dest(copy >= 0 ? ::fdopen(copy, "wb") : nullptr);
  if (dest == nullptr) {
    if (copy >= 0) ::close(copy);
    return FileErrorText(FileErrorCauseFromErrno(errno), temp_name);
  }

  CCompression compression(path, temp_name);
  const CompressionOutcome outcome = compression.DecompressStream(source.get(), dest.get());
  if (!outcome.ok) {
    // A block that ends too early is the projection file's fault.
    std::string text = FileErrorText(outcome.cause, outcome.path);
    if (*outcome.detail != '\0') text += std::string(" (") + outcome.detail + ")";
    return text;
  }
  if (std::fclose(dest.release()) != 0)
    return FileErrorText(FileErrorCauseFromErrno(errno), temp_name);
  return {};
}

}  // namespace velkaro::gis
