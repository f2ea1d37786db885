#pragma once

// Shared by the projection tests: taps on a map known exactly, a noisy 24-bit
// plan, a projection on a scratch folder holding a copy of a small plan, and
// what the projection's operations told the user.
#include "image/bmp_writer.h"
#include "site/side_files.h"
#include "site/site_outcome.h"
#include "site/site_projection.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro::testing {

using Tap = CSiteProjection::_tap;

inline const std::string kSmallPlan =
    std::string(VELKARO_SOURCE_DIR) + "/tests/data/bmpsuite/g/rgb24.bmp";

// The map pixel -> degrees the taps are laid on; the geocode is its inverse.
inline double LatAt(int x, int y) { return 45.5 - 1e-5 * y + 2e-6 * x; }
inline double LonAt(int x, int y) { return 7.25 + 1.4e-5 * x + 1e-6 * y; }

inline std::vector<Tap> TapsAt(std::initializer_list<std::pair<int, int>> pixels) {
  std::vector<Tap> taps;
  for (auto [x, y] : pixels) taps.push_back(Tap{x, y, LatAt(x, y), LonAt(x, y), 0});
  return taps;
}

// Five taps spread over the 127 x 64 small plan.
inline std::vector<Tap> SmallPlanTaps() {
  return TapsAt({{10, 20}, {110, 30}, {60, 60}, {15, 55}, {120, 60}});
}

// A bottom-up 24-bit bitmap whose pixels vary enough that its block is
// large and is expanded in many pieces.
inline std::vector<uint8_t> NoisyBitmap(int w, int h) {
  std::vector<uint8_t> bytes = image::BmpHeader(image::BmpFormat{.width = w, .height = h});
  const size_t pixels_at = bytes.size();
  bytes.resize(pixels_at + image::BmpStride(w, 24) * size_t(h));
  uint32_t seed = 7;
  for (size_t i = pixels_at; i < bytes.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = uint8_t((seed >> 24) & (i % 3 == 0 ? 0xFF : 0x0F));
  }
  return bytes;
}

// Everything a run of operations told the user, as the program would show
// it: each outcome's texts in order, and "REDALERT" for each alarm after
// them.
struct Told {
  // Keeps what `outcome` says; returns whether the operation succeeded.
  bool operator()(const SiteOutcome& outcome) {
    shown.insert(shown.end(), outcome.messages().begin(), outcome.messages().end());
    if (outcome.alarm()) played.push_back("REDALERT");
    // A failure's own text is the last one said.
    if (!outcome.ok()) {
      EXPECT_EQ(shown.back(), outcome.status().message());
    }
    return outcome.ok();
  }
  std::vector<std::string> shown;
  std::vector<std::string> played;
};

// A projection whose current folder (where the solve's dump lands) is a
// scratch folder holding plan.bmp, a copy of the small plan, with its taps.
class ProjectionFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(kSmallPlan)) << kSmallPlan;
    plan = dir.File("plan.bmp");
    std::filesystem::copy_file(kSmallPlan, plan);
    projection.m_taps = SmallPlanTaps();
    projection.UsePlan(plan);
  }

  testing::TempFolder dir;
  testing::CurrentDir here{dir.path()};
  std::string plan;
  Told told;
  CSiteProjection projection;
};

}  // namespace velkaro::testing
