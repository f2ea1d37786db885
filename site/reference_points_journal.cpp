// The reference points kept on disk beside the plan while the user walks.
#include "platform/atomic_file.h"
#include "platform/path_names.h"
#include "platform/regular_file.h"
#include "site/point_fit.h"
#include "site/reference_points_file.h"
#include "site/side_files.h"
#include "site/site_projection.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <ctime>
#include <optional>

#include <fcntl.h>
#include <stdio.h>

namespace velkaro {
namespace {

// A journal is a few kilobytes a hundred points; one of a gigabyte holds
// more points than anyone takes, and is read all the same.
constexpr size_t kMaxPointsFileBytes = size_t{1} << 30;
// A file with many bad rows names the first few.
constexpr size_t kRowsNamed = 3;


}  // namespace

SiteOutcome CSiteProjection::SetPointsPath(std::string path) {
  points_failure_reported_ = false;
  ForgetHistory();  // another plan's points: nothing of the last one to undo
  SiteOutcome outcome;
  if (!path.empty() && points_lock_.Acquire(path) == PathLock::Result::kBusy) {
    // Two windows writing one journal would each replace the other's points.
    std::string plan = BaseName(path);
    if (plan.ends_with(".points")) plan.resize(plan.size() - 7);
    outcome.Say(plan + " is open in another Velkaro window. This window does not keep its "
                       "points beside it; save them to keep them.");
    path.clear();
  } else if (path.empty()) {
    points_lock_.Release();
  }
  points_path_ = std::move(path);
  journal_at_ = points_path_;
  return outcome;
}

FileErrorCause CSiteProjection::WritePoints(const std::string& path) const {
  // The residuals are those of a fit of the very points written, never of
  // the last solve's geocode: after a deletion or a restore that one belongs
  // to other points, and before the first save there is none.
  const PointFit fit = FitPoints(m_taps);
  std::vector<Averaging> averaging;
  averaging.reserve(m_taps.size());
  for (const _tap& tap : m_taps) {
    const Averaging* a = AveragingOf(tap);
    averaging.push_back(a != nullptr ? *a : Averaging{tap, 0.0, 1});
  }
  const std::string text = FormatReferencePoints(
      m_taps, fit.fitted() ? std::optional(fit.geocode) : std::nullopt, averaging);
  return WriteFileAtomically(path, text.data(), text.size());
}

SiteOutcome CSiteProjection::JournalPoints() {
  if (journal_at_.empty()) return {};
  const FileErrorCause cause = WritePoints(journal_at_);
  if (cause == FileErrorCause::kAccessDenied && journal_at_ == points_path_) {
    // A plan on read-only media (a stick, a share): the journal goes to the
    // user's data folder, and the user is told where, once.
    const std::string fallback = FallbackPointsPath(points_path_);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(fallback).parent_path(), ignored);
    if (WritePoints(fallback) == FileErrorCause::kNone) {
      journal_at_ = fallback;
      SiteOutcome outcome;
      outcome.Say("The reference points cannot be kept beside the plan. " +
                  FileErrorText(cause, points_path_) + " They are kept in " + fallback +
                  " instead.");
      return outcome;
    }
  }
  return ReportJournalFailure(cause, journal_at_);
}

SiteOutcome CSiteProjection::KeepPoints(const std::string& path) {
  SiteOutcome outcome;
  if (path.empty()) return outcome;
  return ReportJournalFailure(WritePoints(path), path);
}

SiteOutcome CSiteProjection::ReportJournalFailure(FileErrorCause cause, const std::string& path) {
  SiteOutcome outcome;
  if (cause == FileErrorCause::kNone || points_failure_reported_) return outcome;
  // The points are still held in memory: the work goes on, and the user is
  // told once that a crash would now lose them.
  points_failure_reported_ = true;
  outcome.Say("The reference points could not be kept beside the plan. " +
              FileErrorText(cause, path));
  return outcome;
}

CSiteProjection::KeptPoints CSiteProjection::ReadKeptPoints(const std::string& path) {
  KeptPoints kept;
  const std::string name = BaseName(path);
  int error = 0;
  std::FILE* file = OpenRegularStream(path, &error);
  if (file == nullptr) {
    kept.found = error != ENOENT;
    if (kept.found)
      kept.problems.push_back(FileErrorText(FileErrorCauseFromErrno(error), path));
    return kept;
  }
  kept.found = true;
  std::string text;
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() <= kMaxPointsFileBytes)
    text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) {
    kept.problems.push_back(FileErrorText(FileErrorCause::kHardIO, path));
    return kept;
  }
  if (text.size() > kMaxPointsFileBytes) {
    kept.problems.push_back(name + " is larger than 1 GB: too large to be a reference-point file.");
    return kept;
  }
  ReferencePoints points = ParseReferencePoints(text, RowFaults::kSkip);
  if (!points.status.ok()) {
    kept.problems.push_back(
        points.other_crs.empty()
            ? name + " is not a reference-point file: " + points.status.message() + "."
            : name + " holds its points in another coordinate system (" + points.other_crs +
                  "), not WGS 84 degrees.");
    return kept;
  }
  for (size_t i = 0; i < points.refused.size(); ++i) {
    const RefusedRow& row = points.refused[i];
    if (i == kRowsNamed) {
      kept.problems.push_back("... and " + std::to_string(points.refused.size() - kRowsNamed) +
                              " more rows that are not reference points.");
      break;
    }
    kept.problems.push_back(row.last ? "The last row of " + name + " (line " +
                                           std::to_string(row.line) + ") was cut short."
                                     : "Row " + std::to_string(row.line) + " of " + name +
                                           " is not a reference point: " + row.problem + ".");
  }
  for (const Averaging& a : points.averaging) {
    if (a.fixes > 1) kept.averaged.push_back(a);
  }
  kept.taps = std::move(points.taps);
  return kept;
}

std::vector<CSiteProjection::_tap> CSiteProjection::ReadPoints(const std::string& path) {
  KeptPoints kept = ReadKeptPoints(path);
  return kept.problems.empty() ? std::move(kept.taps) : std::vector<_tap>{};
}

Status CSiteProjection::SetAsidePoints(const std::string& path, int64_t seconds,
                                       std::string* aside) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  localtime_r(&when, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = path + ".unread-" + stamp;
  for (int n = 1; n < 100; ++n) {
    const std::string to = n == 1 ? base : base + "-" + std::to_string(n);
    // Never over another file: an earlier set-aside is kept as well.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
      *aside = to;
      return Status::Ok();
    }
    if (errno == EEXIST) continue;
    return Status::FromErrno(errno, path);
  }
  return Status::FromErrno(EEXIST, path);
}

}  // namespace velkaro
