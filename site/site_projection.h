#pragma once

#include "link/gps_data.h"
#include "platform/atomic_file.h"
#include "platform/path_lock.h"
#include "platform/posix_file.h"
#include "platform/status.h"
#include "site/projection_file_format.h"
#include "site/site_outcome.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace velkaro {

// Sees a projection file's plan while it is expanded, so that a viewer can
// build its picture without reading the bitmap back from the disk.
class PlanExpansionWatch {
 public:
  virtual ~PlanExpansionWatch() = default;
  // Before the first byte: the plan bitmap's length. A status that is not ok
  // refuses the load there, before any side file is written, and is the
  // load's outcome.
  virtual Status Begin(uint64_t length) = 0;
  // Each piece of the bitmap, front to back, with its offset in the file;
  // called on the codec's threads, one call at a time.
  virtual void Bytes(uint64_t offset, std::span<const uint8_t> bytes) = 0;
  // The whole bitmap was expanded without a fault. Its side files are made
  // durable after this returns (or by the caller, when it commits them), and
  // the load can still fail there.
  virtual void Expanded() = 0;
};

// A projection file's side files once its plan is expanded and its block
// checked, not yet in place: the expanded plan written whole to its
// temporary, the block still to be copied there from the projection file
// (held open). Nothing stands under either name until Commit, and dropping
// the object uncommitted leaves nothing behind. Copying a ~240 MB block and
// making ~540 MB durable takes about a second, which a viewer need not keep
// the user waiting for once the plan is on screen: the side files are
// copies of what the projection file holds.
//
// Thread safety: none; one owner at a time, on any thread.
class PendingSideFiles {
 public:
  PendingSideFiles();
  ~PendingSideFiles();  // abandons what was not committed
  PendingSideFiles(PendingSideFiles&&) noexcept;
  PendingSideFiles& operator=(PendingSideFiles&&) noexcept;

  // True while there is something to commit.
  bool pending() const { return block_ != nullptr; }
  // Copies the block to its side file (checking it again against the
  // projection file's checksum), then puts it in place, then the plan's,
  // each flushed to the disk first. Ok, or the failure the load would have ended with had
  // it committed them itself; a failed commit leaves the side file that
  // failed, and those after it, as they were. Once called, nothing is
  // pending. Ok when nothing was.
  [[nodiscard]] SiteOutcome Commit();

 private:
  friend class CSiteProjection;
  std::unique_ptr<AtomicFile> block_;
  std::unique_ptr<AtomicFile> plan_;
  // Where the block is copied from, when it is copied at Commit.
  std::unique_ptr<PosixFile> source_;
  std::string source_path_;
  uint64_t block_length_ = 0;
};

// The reference points ("taps") that tie plan pixels to GPS positions, the
// geocode solved from them (an affine map from latitude/longitude to plan
// pixels, by least squares), and the projection file that stores the geocode
// with the compressed plan bitmap.
//
// The model shows nothing and plays nothing: every operation that has
// something to tell the user returns it as a SiteOutcome, and the caller
// shows it.
// Thread safety: none; one thread at a time (the UI thread in the program).
class CSiteProjection {
 public:
#pragma pack(push, 1)
  // One reference point, packed exactly as the board-era record was.
  struct _tap {
    int32_t x;     // plan pixel column, 0 = left edge
    int32_t y;     // plan pixel row, 0 = top edge
    double lat;    // degrees, north positive
    double lon;    // degrees, east positive
    uint8_t flag;  // always 0
  };
#pragma pack(pop)
  static_assert(sizeof(_tap) == 25, "a tap record is 25 packed bytes");

  // What an averaged point's fixes tell of it: how many there were and how
  // widely they spread. Kept beside the designed tap record, not in it, and
  // found again by the tap's values, so it follows its point through
  // deletions, undo and restores without being kept in step.
  struct Averaging {
    _tap tap;
    double spread_m = 0.0;
    int fixes = 1;
  };

  static constexpr int kMinTapsToSave = 5;
  static constexpr int32_t kPickRadiusSquared = 1600;  // 40 plan pixels

  CSiteProjection();
  virtual ~CSiteProjection();
  CSiteProjection(const CSiteProjection&) = delete;
  CSiteProjection& operator=(const CSiteProjection&) = delete;

  // --- reference points (site_projection.cpp) ---

  // Appends a tap at plan pixel (x, y) with the latitude and longitude of
  // `position`, and journals the points. The caller passes one whole copy of
  // the GPS record, so both come from the same report. No lock or duplicate
  // check: the site view calls it only while the GPS is locked. Says only
  // what the journal reports.
  [[nodiscard]] SiteOutcome AddTap(int32_t x, int32_t y, const CGpsData& position);
  // The same for the mean of an averaged capture's `fixes` fixes, which
  // spread by `spread_m` metres; the journal keeps both with the point.
  [[nodiscard]] SiteOutcome AddAveragedTap(int32_t x, int32_t y, const CGpsData& mean,
                                           double spread_m, int fixes);
  // The averaging of the point `tap`, or null for an instantaneous one.
  const Averaging* AveragingOf(const _tap& tap) const;
  // Finds the tap nearest to plan pixel (px, py) within 40 pixels; on ties
  // the earliest tap wins. Returns 0 and sets m_selected when one is found,
  // -1 (m_selected unchanged) otherwise.
  int FindNearestTap(int32_t px, int32_t py);
  // Removes the tap at m_selected, journals the points and says what the
  // journal reports, then "Deleted.". Does nothing and says nothing when
  // m_selected is not an index of m_taps.
  [[nodiscard]] SiteOutcome DeleteSelectedTap();
  // Selects the tap at `index` (capture order) and deletes it as above: the
  // point list's deletion, which picks by row rather than by place.
  [[nodiscard]] SiteOutcome DeleteTap(size_t index);
  // Takes points kept by an earlier session in place of the current ones;
  // nothing is journaled until the next capture or deletion.
  void RestorePoints(std::vector<_tap> taps, std::vector<Averaging> averaged = {}) {
    m_taps = std::move(taps);
    averaged_ = std::move(averaged);
    ForgetHistory();
  }

  // Undo takes back the last capture or deletion, Redo does it again; each
  // journals the points it leaves and says what the journal reports. Both
  // do nothing and say nothing when there is no such step. Capturing or
  // deleting anew forgets what could be redone; restoring points or taking
  // another journal (another plan) forgets both.
  [[nodiscard]] SiteOutcome Undo();
  [[nodiscard]] SiteOutcome Redo();
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }

  // --- the files in use ---

  // The plan bitmap the next save compresses: one the user chose, or the one
  // a projection file was expanded to.
  void UsePlan(std::string plan_path) { m_strPlanPath = std::move(plan_path); }
  // The projection file the user opened, whether or not its plan came out.
  void NoteOpened(std::string path) { m_strPath = std::move(path); }

  // --- reference-point journal (reference_points_journal.cpp) ---

  // Every capture and deletion rewrites the points, all or nothing, at
  // `path` (the plan's "<plan>.points", or "<file>.points" for a plan opened
  // from a projection file), so a crash, a flat battery or a closed window
  // loses no point. Empty: no journal. A journal that cannot be written is
  // reported (in the returned outcome) once per path; work goes on. A
  // journal another window (another process of the user's) keeps is not
  // written here: the outcome says so, and this one has no journal.
  SiteOutcome SetPointsPath(std::string path);
  const std::string& PointsPath() const { return points_path_; }
  // Where the journal is written now: PointsPath(), or the user's data
  // folder once the plan's own folder refused it.
  const std::string& JournalLocation() const { return journal_at_; }
  // Writes the current points to `path`, all or nothing; nothing reported.
  FileErrorCause WritePoints(const std::string& path) const;
  // What the journal at `path` holds, read as far as it can be: every row
  // the reader takes, and a sentence for each thing it could not take (a
  // bad row, a last row cut short, another coordinate system, a file it
  // could not read). With any problem the file must be set aside
  // (SetAsidePoints) before a journal is written at `path`.
  struct KeptPoints {
    bool found = false;  // a file stands at `path`
    std::vector<_tap> taps;
    std::vector<Averaging> averaged;  // those with more than one fix
    std::vector<std::string> problems;
  };
  static KeptPoints ReadKeptPoints(const std::string& path);
  // The points kept at `path` when it was read whole; empty when there is no
  // such regular file, or it holds no points, or any of it could not be read.
  static std::vector<_tap> ReadPoints(const std::string& path);
  // Renames the file at `path` to "<path>.unread-YYYYMMDD-HHMMSS" (local
  // time of `seconds`), never over another file; `*aside` gets the new path.
  // Ok, or an error naming the cause, with the file left where it was.
  static Status SetAsidePoints(const std::string& path, int64_t seconds, std::string* aside);

  // --- geocode (geocode_solver.cpp) ---

  // Least-squares fit of the six coefficients over all taps; fills the matrix
  // bytes of m_header and rewrites "debug.txt" in the current folder (the
  // solve completes when that file cannot be created). REQUIRES: at least one
  // tap for a meaningful result (Save guarantees five).
  void Solve();
  // True when every tap's pixel, mapped back through the current geocode,
  // lands within WithinTolerance of its latitude and longitude. A back-
  // projection that is not a finite number (zero determinant, no solve yet)
  // fails. An empty list passes.
  bool Validate() const;
  // |est - ref| <= 0.0025 * cos(refLat * 0.01746) degrees, but never less than
  // 0.000025 (the poles); a deviation that is not a number fails.
  static bool WithinTolerance(double ref, double est, double refLat);
  // The taps' longitudes as Solve and Validate use them: unchanged unless
  // they span more than 180 degrees (a plan across the antimeridian), then
  // each within 180 degrees of the points' mean direction, by whole turns.
  static std::vector<double> UnwrappedLongitudes(const std::vector<_tap>& taps);

  // --- projection file (projection_file.cpp) ---

  // Checks the tap count, solves, validates, compresses the plan at
  // m_strPlanPath into its block side file (beside the projection file when
  // the plan's folder takes no files, said in a note) and writes the
  // projection file at `path`, all or nothing, then journals the points
  // beside it. Ok only when
  // the whole file is in place; otherwise the file at `path` is as it was and
  // the outcome's last text says why (file errors that stop a started save
  // with the "REDALERT" alarm).
  [[nodiscard]] SiteOutcome Save(const std::string& path);
  // The name a save locks (PathLock) while it writes `path` and its points:
  // not the file's own, which the journal of a plan opened from it uses.
  static std::string SavingLockName(const std::string& path) { return path + "\n(saving)"; }
  // Expands the plan block of the projection file at `path` to its expanded
  // plan side file, which becomes m_strPlanPath, and copies the block to its
  // block side file; both are written all or nothing, in the user's cache
  // folder (CacheSideFilePath, said in a note) when the projection file's
  // own folder takes no files. Opens `path`
  // read-only. A file too short to hold its block is refused with the "past
  // its end" text and leaves no side file. Ok only when a complete plan
  // bitmap was produced; otherwise m_strPlanPath is unchanged and the caller
  // must not show a bitmap from an earlier load. Taps and coefficients are
  // never changed. `watch`, when given, sees the plan as it is expanded.
  [[nodiscard]] SiteOutcome Load(const std::string& path, PlanExpansionWatch* watch = nullptr);
  // The same, leaving the side files' commit to the caller: an ok outcome
  // (with Load's notes) once both are written to their temporaries, which
  // `pending` then holds; m_strPlanPath names the expanded plan, a file that
  // stands only once `pending` is committed. A failure leaves `pending`
  // empty and is the one Load would have returned.
  [[nodiscard]] SiteOutcome Load(const std::string& path, PlanExpansionWatch* watch,
                                 PendingSideFiles& pending);
  // Whether the projection file at `path` carries a checksum trailer, and
  // whether every byte before it matches (read whole; for vlk info).
  enum class Checksum { kNone, kMatches, kDamaged, kUnreadable };
  static Checksum CheckChecksum(const std::string& path);
  // "FILE is damaged: its bytes do not match the checksum saved with them."
  static std::string DamagedText(const std::string& path) {
    return path + " is damaged: its bytes do not match the checksum saved with them.";
  }
  // Load's work with the side files named by the caller (vlk extract).
  [[nodiscard]] SiteOutcome LoadInto(const std::string& path, const std::string& block_path,
                                     const std::string& plan_path,
                                     PlanExpansionWatch* watch = nullptr);

  double m_xLat = 0.0, m_xLon = 0.0, m_yLat = 0.0, m_yLon = 0.0, m_x0 = 0.0, m_y0 = 0.0;
  PosixFile m_file;
  std::string m_strPath;
  std::string m_strPlanPath;
  uint8_t m_header[kProjectionHeaderSize] = {};
  int32_t m_selected = 0;
  std::vector<_tap> m_taps;

 private:
  // Save's steps; each names the file that failed.
  Status OpenFile(AtomicFile& out);  // the new file for m_strPath
  Status WriteHeader(AtomicFile& out);
  // The block side file at `block_path` and the projection file, each
  // committed; `started` (if given) is set false when the projection file
  // could not be started.
  Status WriteFileAndBlock(const std::string& block_path, bool* started = nullptr);
  // Load with the side files beside `path`, or in the cache when its folder
  // takes none; committed before it returns when `pending` is null.
  SiteOutcome LoadBesideOrCached(const std::string& path, PlanExpansionWatch* watch,
                                 PendingSideFiles* pending);
  // LoadInto's work short of the commit, which is left in `pending`, and,
  // unless `copy_block` is now, short of the block's copy, which is left to
  // the commit too (the block is checked either way); m_strPlanPath is not
  // changed.
  enum class BlockCopy { kNow, kAtCommit };
  SiteOutcome WriteSideFiles(const std::string& path, const std::string& block_path,
                             const std::string& plan_path, PlanExpansionWatch* watch,
                             PendingSideFiles& pending, BlockCopy copy_block);
  // Load's steps; each names the file that failed.
  Status MeasureBlock(uint64_t& block_length, uint32_t& plan_length);
  Status ExpandPlan(AtomicFile& plan, PlanExpansionWatch* watch, uint32_t plan_length);

  // Writes the points to `path`; a failure is said once per journal path.
  SiteOutcome KeepPoints(const std::string& path);
  // Writes the journal where it is kept: beside the plan, or, once that is
  // refused (read-only media), in the user's data folder (FallbackPointsPath).
  SiteOutcome JournalPoints();
  // Says, once per journal, that `cause` keeps the points from `path`.
  SiteOutcome ReportJournalFailure(FileErrorCause cause, const std::string& path);

  using History = std::vector<std::vector<_tap>>;
  // The points as they stood before each capture or deletion.
  void Remember();
  // Takes the points of the last step in `from`, keeping the current ones in `to`.
  SiteOutcome Step(History& from, History& to);
  void ForgetHistory() {
    undo_.clear();
    redo_.clear();
  }

  std::string points_path_;
  std::string journal_at_;  // points_path_, or its fallback once that is refused
  PathLock points_lock_;    // held on points_path_ while it is set
  bool points_failure_reported_ = false;
  std::vector<Averaging> averaged_;
  History undo_;
  History redo_;
};

}  // namespace velkaro
