#include "gui/site_view/plan_load.h"

#include "platform/message_box.h"
#include "platform/wave_player.h"
#include "site/site_projection.h"

#include <cerrno>
#include <sys/stat.h>

namespace velkaro {

namespace {

// Keeps what a projection file's loading says for the window to show later.
class KeptMessages : public IMessageBox {
 public:
  explicit KeptMessages(std::vector<std::string>& texts) : texts_(texts) {}
  void ShowOk(const std::string& text) override { texts_.push_back(text); }
  // Loading asks nothing; a question no one can answer is a No.
  bool AskYesNo(const std::string& text) override {
    texts_.push_back(text);
    return false;
  }

 private:
  std::vector<std::string>& texts_;
};

}  // namespace

PlanLoad LoadPlanFile(const std::string& path, const LoadProgress& progress) {
  PlanLoad load;
  load.plan_path = path;
  load.plan = LoadPlanBitmap(path, progress);
  return load;
}

PlanLoad LoadProjectionFile(const std::string& path, const Published<CGpsData>& gps,
                            const LoadProgress& progress) {
  PlanLoad load;
  KeptMessages messages(load.messages);
  SilentWavePlayer waves;  // loading plays nothing
  CSiteProjection projection(gps, messages, waves);
  // Expanding the block is the first half of the work, reading the plan the
  // second; the progress covers both.
  if (progress) progress(0.0);
  load.projection_loaded = projection.Load(path);
  if (!load.projection_loaded) {
    // Name the bitmap this file would have given, and why it is not there.
    load.plan_path = path + "b";
    struct stat info {};
    load.plan.error = ::stat(load.plan_path.c_str(), &info) == 0 ? EINVAL : errno;
    return load;
  }
  load.plan_path = projection.m_strPlanPath;
  LoadProgress second_half;
  if (progress) second_half = [&](double done) { progress(0.5 + done / 2); };
  if (progress) progress(0.5);
  load.plan = LoadPlanBitmap(load.plan_path, second_half);
  return load;
}

}  // namespace velkaro
