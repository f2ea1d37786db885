#pragma once

#include <string>

namespace velkaro {

// The files the site model keeps beside a plan bitmap or a projection file.
enum class SideFile {
  // The compressed block: beside a plan as it is saved ("<plan>c"), beside a
  // projection file as it is opened ("<file>c").
  kBlock,
  // A projection file's plan bitmap, expanded when it is opened ("<file>b").
  kExpandedPlan,
  // The reference-point journal ("<plan>.points", "<file>.points").
  kPoints,
};

// The name of `kind`'s side file for the plan or projection file at `path`.
inline std::string SideFilePath(const std::string& path, SideFile kind) {
  switch (kind) {
    case SideFile::kBlock:
      return path + "c";
    case SideFile::kExpandedPlan:
      return path + "b";
    case SideFile::kPoints:
      return path + ".points";
  }
  return path;
}

// Where the journal at `points_path` is kept when it cannot be beside its
// plan (a read-only stick, a share): in the user's data folder,
// $XDG_DATA_HOME/velkaro/points (else ~/.local/share/velkaro/points), under a
// name made of the journal's full path, so that each plan has its own.
std::string FallbackPointsPath(const std::string& points_path);

// Where `kind`'s side file for the projection file at `path` goes when the
// file's own folder takes none (a read-only stick, a share): in the user's
// cache folder, $XDG_CACHE_HOME/velkaro/files (else ~/.cache/velkaro/files),
// named as FallbackPointsPath names journals. They are copies of what the
// projection file holds, so a cache that is cleared loses nothing.
std::string CacheSideFilePath(const std::string& path, SideFile kind);

}  // namespace velkaro
