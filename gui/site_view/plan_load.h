#pragma once

#include "gui/site_view/plan_bitmap.h"
#include "import/raster_to_bmp.h"
#include "site/site_outcome.h"
#include "site/site_projection.h"

#include <functional>
#include <string>
#include <vector>

namespace velkaro {

// What a load on a worker thread hands back to the window. The worker
// touches nothing the window uses: it reports through this value, and the
// window shows what the load said and takes the plan on its own thread.
struct PlanLoad {
  LoadedPlan plan;
  // The bitmap that was read: the chosen file, or the plan a projection
  // file expanded to.
  std::string plan_path;
  // For a projection file: whether its plan was expanded (ok), and what its
  // loading said (file errors), to be shown before anything else.
  SiteOutcome opened;
  // For a plan given as another picture: the journal beside the source
  // (empty for a bitmap, whose journal is beside it), where the converted
  // bitmap went when not beside the source, and why a source was refused
  // (the sentence to show instead of the "Cannot load" text).
  std::string points_path;
  std::string note;
  std::string refusal;
  // For a projection file opened with SideFilesCommit::kByCaller: its side
  // files, written but not yet under their names (plan_path among them).
  PendingSideFiles side_files;
};

// Whether LoadProjectionFile makes the side files durable before it returns,
// or hands them back for the caller to commit once the plan is taken.
enum class SideFilesCommit { kBeforeReturn, kByCaller };

using LoadProgress = std::function<void(double done)>;
// The new plan's picture, whole, while the load goes on to finish its files.
using PlanPreview = std::function<void(const QImage& picture)>;

// A plan file, as "new plan" loads it: a bitmap as it is, any other picture
// through the bitmap it converts to (plan_import::ImportPlan), a PDF's page
// as `choice` says. Any thread.
PlanLoad LoadPlanFile(const std::string& path, const LoadProgress& progress,
                      const plan_import::SourceChoice& choice = {});

// A projection file, as "open" loads it: the block expanded to its expanded
// plan side file and copied to its block side file (both all or nothing).
// The picture is built from the expanded bytes as they come; only a bitmap
// the row reader does not take is read back from the expanded plan.
// `preview`, when given, gets the picture as soon as it is whole, before the
// side files are durable. With kByCaller a load that succeeds leaves them in
// `side_files`, except for a plan whose picture has to be read back from
// its side file, which is committed first. Works on a projection of its
// own, so any thread.
PlanLoad LoadProjectionFile(const std::string& path, const LoadProgress& progress,
                            const PlanPreview& preview = {},
                            SideFilesCommit commit = SideFilesCommit::kBeforeReturn);

}  // namespace velkaro
