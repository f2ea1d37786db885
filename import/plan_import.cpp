#include "import/plan_import.h"

#include "import/pdf_pages.h"
#include "platform/path_names.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkaro::plan_import {
namespace {

// The converted bitmap's name beside the source, less ".bmp".
std::string Stem(const std::string& source, const SourceChoice& choice, bool pdf) {
  std::string stem = source;
  if (pdf && choice.page > 1) stem += ".page" + std::to_string(choice.page);
  if (pdf && choice.dpi > 0) {
    char dpi[32];
    std::snprintf(dpi, sizeof dpi, ".%gdpi", choice.dpi);
    stem += dpi;
  }
  return stem;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether `bitmap` exists and was written after `source` last changed. The
// file system's clock moves in ticks of a few milliseconds: a bitmap
// converted within the tick its source was written in has the same time,
// and is still the newer one, as the conversion read the source whole.
bool NewerThan(const std::string& bitmap, const struct stat& source) {
  struct stat info {};
  if (::stat(bitmap.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_mtim.tv_sec != source.st_mtim.tv_sec)
    return info.st_mtim.tv_sec > source.st_mtim.tv_sec;
  return info.st_mtim.tv_nsec >= source.st_mtim.tv_nsec;
}

}  // namespace

bool IsBmpPlan(const std::string& path) {
  const std::string name = BaseName(path);
  if (name.size() >= 4 && ::strcasecmp(name.c_str() + name.size() - 4, ".bmp") == 0) return true;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  struct stat info {};
  char magic[2] = {};
  const bool plain = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  const bool bitmap = !plain || ::pread(fd, magic, 2, 0) != 2 || (magic[0] == 'B' && magic[1] == 'M');
  ::close(fd);
  return bitmap;
}

std::string CacheFolder() { return UserFolder("XDG_CACHE_HOME", "/.cache") + "/velkaro"; }

ImportedPlan ImportPlan(const std::string& source, const SourceChoice& choice,
                        const ImportProgress& progress) {
  ImportedPlan plan;
  struct stat info {};
  if (::stat(source.c_str(), &info) != 0) {
    plan.status = Status::FromErrno(errno, source);
    return plan;
  }
  const std::string stem = Stem(source, choice, IsPdf(source));
  plan.points = stem + ".points";
  const std::string beside = stem + ".bmp";
  if (NewerThan(beside, info)) {
    plan.bitmap = beside;
    plan.reused = true;
    return plan;
  }
  plan.bitmap = beside;
  if (FolderRefusesFiles(beside)) {
    const std::string folder = CacheFolder();
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    plan.bitmap = folder + "/" + FlatPathName(beside);
    plan.note = FolderOf(source) + " cannot be written: the plan bitmap of " + source +
                " is kept in " + plan.bitmap + ".";
    if (NewerThan(plan.bitmap, info)) {
      plan.reused = true;
      return plan;
    }
  }
  plan.status = ConvertToBmp(source, plan.bitmap, choice, progress);
  return plan;
}

}  // namespace velkaro::plan_import
