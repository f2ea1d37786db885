#include "gui/site_view/plan_load.h"

#include "image/bmp_row_stream.h"
#include "import/plan_import.h"
#include "site/side_files.h"
#include "site/site_projection.h"

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace velkaro {

namespace {

// Builds the picture from the plan's bytes as the projection file's block
// expands. Expanding is most of the work; the side files that follow are
// the last tenth of the progress.
class PictureWatch : public PlanExpansionWatch {
 public:
  static constexpr double kExpandedShare = 0.9;

  PictureWatch(const std::string& path, const LoadProgress& progress, const PlanPreview& preview)
      : path_(path), progress_(progress), preview_(preview) {}

  Status Begin(uint64_t length) override {
    // A plan the memory cannot hold is refused before its side files, which
    // would be written only to be thrown away, take the disk.
    if (const uint64_t limit = PictureLimit(); limit > 0 && length > limit)
      return PlanTooBigStatus(path_, length, limit);
    length_ = length;
    rows_.emplace(length, [this](const image::BmpLayout& layout, std::span<const uint8_t>) {
      picture_ = RowReaderPicture(layout);
      if (picture_.isNull()) return image::BmpRowStream::Picture{};
      return image::BmpRowStream::Picture{picture_.bits(), size_t(picture_.bytesPerLine()),
                                          picture_.format() == QImage::Format_BGR888};
    });
    return Status::Ok();
  }
  void Bytes(uint64_t offset, std::span<const uint8_t> bytes) override {
    rows_->Take(offset, bytes);
    if (progress_ && length_ > 0)
      progress_(kExpandedShare * double(offset + bytes.size()) / double(length_));
  }
  void Expanded() override {
    if (!rows_ || !rows_->Complete()) {
      picture_ = QImage();  // read from the file instead: free this first
      return;
    }
    if (preview_) preview_(picture_);
  }

  // The whole picture, or a null image when the file must be read.
  QImage TakePicture() {
    if (!rows_ || !rows_->Complete()) return {};
    return std::move(picture_);
  }

 private:
  const std::string& path_;
  const LoadProgress& progress_;
  const PlanPreview& preview_;
  uint64_t length_ = 0;
  std::optional<image::BmpRowStream> rows_;
  QImage picture_;
};

}  // namespace

PlanLoad LoadPlanFile(const std::string& path, const LoadProgress& progress,
                      const plan_import::SourceChoice& choice) {
  PlanLoad load;
  load.plan_path = path;
  if (plan_import::IsBmpPlan(path)) {
    load.plan = LoadPlanBitmap(path, progress);
    return load;
  }
  // Converting is most of the work the first time; reading the bitmap the
  // rest.
  constexpr double kConvertShare = 0.7;
  const plan_import::ImportedPlan imported = plan_import::ImportPlan(
      path, choice, [&progress](double done) {
        if (progress) progress(kConvertShare * done);
      });
  if (!imported.status.ok()) {
    load.refusal = imported.status.message();
    load.plan = FailedPlan(EINVAL, path);
    return load;
  }
  load.plan_path = imported.bitmap;
  load.points_path = imported.points;
  load.note = imported.note;
  load.plan = LoadPlanBitmap(imported.bitmap, [&progress](double done) {
    if (progress) progress(kConvertShare + (1 - kConvertShare) * done);
  });
  return load;
}

PlanLoad LoadProjectionFile(const std::string& path, const LoadProgress& progress,
                            const PlanPreview& preview, SideFilesCommit commit) {
  PlanLoad load;
  CSiteProjection projection;
  if (progress) progress(0.0);
  PictureWatch watch(path, progress, preview);
  load.opened = commit == SideFilesCommit::kByCaller ? projection.Load(path, &watch, load.side_files)
                                                     : projection.Load(path, &watch);
  QImage picture = load.opened.ok() ? watch.TakePicture() : QImage();
  // A kind of bitmap only Qt's reader takes is read back from its file, so
  // that file must be in place first: the load fails as it would have.
  if (load.opened.ok() && picture.isNull() && load.side_files.pending()) {
    if (SiteOutcome failed = load.side_files.Commit(); !failed.ok()) load.opened = std::move(failed);
  }
  if (!load.opened.ok()) {
    // Name the bitmap this file would have given, and why it is not there.
    load.plan_path = SideFilePath(path, SideFile::kExpandedPlan);
    struct stat info {};
    load.plan =
        FailedPlan(::stat(load.plan_path.c_str(), &info) == 0 ? EINVAL : errno, load.plan_path);
    return load;
  }
  load.plan_path = projection.m_strPlanPath;
  load.plan.image = std::move(picture);
  if (load.plan.image.isNull()) {
    // A kind of bitmap only Qt's reader takes: read it back from its file.
    load.plan = LoadPlanBitmap(load.plan_path);
  }
  if (progress) progress(1.0);
  return load;
}

}  // namespace velkaro
