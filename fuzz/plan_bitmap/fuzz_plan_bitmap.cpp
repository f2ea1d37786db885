// Any bytes as a plan bitmap file, read the way "new plan" and "open
// projection" read one: a picture or an error code, never a crash, a leak or
// an allocation past the reader's limit.
#include "gui/site_view/plan_bitmap.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include <QImageReader>

namespace {

std::string ScratchPath() {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_plan_bitmap_" +
         std::to_string(::getpid()) + ".bmp";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = ScratchPath();
  // The program's own limit, so a header that claims a huge picture is
  // refused the same way.
  static const bool limited = [] {
    QImageReader::setAllocationLimit(512);
    return true;
  }();
  (void)limited;

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  const bool written = std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (!written) return 0;

  const velkaro::LoadedPlan plan = velkaro::LoadPlanBitmap(path);
  if (plan.error == 0) {
    // A picture that loaded is one the site view can draw.
    if (plan.image.isNull() || plan.image.format() != QImage::Format_RGB888) std::abort();
  } else if (plan.error != EINVAL && plan.error != ENOMEM && plan.error != EIO) {
    std::abort();  // the file exists and opens: only decoding can fail
  }
  std::remove(path.c_str());
  return 0;
}
