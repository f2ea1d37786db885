// The reference points kept on disk beside the plan while the user walks.
#include "platform/atomic_file.h"
#include "platform/regular_file.h"
#include "site/point_fit.h"
#include "site/reference_points_file.h"
#include "site/site_projection.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace velkaro {
namespace {

// A journal is a few kilobytes; anything far larger is not one of ours.
constexpr long kMaxPointsFileBytes = 16L << 20;

}  // namespace

void CSiteProjection::SetPointsPath(std::string path) {
  points_path_ = std::move(path);
  points_failure_reported_ = false;
  ForgetHistory();  // another plan's points: nothing of the last one to undo
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

SiteOutcome CSiteProjection::KeepPoints(const std::string& path) {
  SiteOutcome outcome;
  if (path.empty()) return outcome;
  const FileErrorCause cause = WritePoints(path);
  if (cause == FileErrorCause::kNone || points_failure_reported_) return outcome;
  // The points are still held in memory: the work goes on, and the user is
  // told once that a crash would now lose them.
  points_failure_reported_ = true;
  outcome.Say("The reference points could not be kept beside the plan. " +
              FileErrorText(cause, path));
  return outcome;
}

std::vector<CSiteProjection::_tap> CSiteProjection::ReadPoints(const std::string& path,
                                                               std::vector<Averaging>* averaged) {
  int error = 0;
  std::FILE* file = OpenRegularStream(path, &error);
  if (file == nullptr) return {};
  std::string text;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 &&
         static_cast<long>(text.size()) < kMaxPointsFileBytes)
    text.append(chunk, got);
  const bool complete = !std::ferror(file) && static_cast<long>(text.size()) < kMaxPointsFileBytes;
  std::fclose(file);
  if (!complete) return {};
  ReferencePoints points = ParseReferencePoints(text);
  if (!points.status.ok()) return {};
  if (averaged != nullptr) {
    averaged->clear();
    for (const Averaging& a : points.averaging) {
      if (a.fixes > 1) averaged->push_back(a);
    }
  }
  return std::move(points.taps);
}

}  // namespace velkaro
