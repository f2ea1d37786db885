// Any bytes as a projection file: Load must never crash or leak, and a file
// it refuses must leave neither side file behind. The plan's bytes, as the
// load hands them out while it expands, must be the plan side file's and go
// through the row stream the site view builds its picture with. The
// tap-file reader of vlk gets the same bytes.
#include "image/bmp_row_stream.h"
#include "link/gps_data.h"
#include "link/published.h"
#include "site/side_files.h"
#include "site/site_projection.h"
#include "site/tap_file.h"
#include "tests/support/recording_message_box.h"
#include "tests/support/temp_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// One folder for the whole run, removed at exit.
const velkaro::testing::TempFolder& ScratchFolder() {
  static const velkaro::testing::TempFolder folder;
  return folder;
}

// Keeps what the load hands out and feeds it to a row stream with a picture
// of bounded size.
class Watch : public velkaro::PlanExpansionWatch {
 public:
  velkaro::Status Begin(uint64_t length) override {
    rows_.emplace(
        length, [this](const velkaro::image::BmpLayout& layout, std::span<const uint8_t>) {
          if (uint64_t(layout.width) * uint64_t(layout.height) > (1u << 22))
            return velkaro::image::BmpRowStream::Picture{};
          picture_.assign(size_t(layout.width) * 3 * size_t(layout.height), 0);
          return velkaro::image::BmpRowStream::Picture{picture_.data(), size_t(layout.width) * 3};
        });
    return velkaro::Status::Ok();
  }
  void Bytes(uint64_t offset, std::span<const uint8_t> bytes) override {
    if (offset != seen.size()) std::abort();  // front to back, no gap
    seen.insert(seen.end(), bytes.begin(), bytes.end());
    rows_->Take(offset, bytes);
  }
  void Expanded() override { ++expanded; }

  std::vector<uint8_t> seen;
  int expanded = 0;

 private:
  std::optional<velkaro::image::BmpRowStream> rows_;
  std::vector<uint8_t> picture_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velkaro;
  const std::string path = ScratchFolder().File("input.vlk");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
  const std::string block = SideFilePath(path, SideFile::kBlock);
  const std::string expanded = SideFilePath(path, SideFile::kExpandedPlan);
  std::remove(block.c_str());
  std::remove(expanded.c_str());

  CSiteProjection projection;
  projection.UsePlan("before");
  Watch watch;
  const SiteOutcome loaded = projection.Load(path, &watch);
  if (loaded.ok()) {
    if (projection.m_strPlanPath != expanded || !Exists(expanded) || !loaded.messages().empty())
      std::abort();
    if (watch.expanded != 1 || watch.seen != velkaro::testing::ReadAll(expanded)) std::abort();
  } else {
    if (Exists(block) || Exists(expanded)) std::abort();  // a refusal writes nothing
    if (projection.m_strPlanPath != "before" || loaded.messages().size() != 1 ||
        loaded.messages()[0] != loaded.status().message())
      std::abort();
  }

  const TapFile taps = ParseTapFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (taps.status.ok() != taps.status.message().empty()) std::abort();
  return 0;
}
