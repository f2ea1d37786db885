#include "site/site_projection.h"

#include <cstddef>

namespace velkaro {

CSiteProjection::CSiteProjection() = default;

CSiteProjection::~CSiteProjection() = default;

SiteOutcome CSiteProjection::AddTap(int32_t x, int32_t y, const CGpsData& position) {
  Remember();
  m_taps.push_back(_tap{x, y, position.m_latB, position.m_lonB, 0});
  return JournalPoints();
}

SiteOutcome CSiteProjection::AddAveragedTap(int32_t x, int32_t y, const CGpsData& mean,
                                            double spread_m, int fixes) {
  averaged_.push_back(Averaging{_tap{x, y, mean.m_latB, mean.m_lonB, 0}, spread_m, fixes});
  return AddTap(x, y, mean);
}

const CSiteProjection::Averaging* CSiteProjection::AveragingOf(const _tap& tap) const {
  const int32_t x = tap.x, y = tap.y;
  const double lat = tap.lat, lon = tap.lon;
  // The latest first: a point taken again at the same spot is the new one.
  for (auto it = averaged_.rbegin(); it != averaged_.rend(); ++it) {
    if (it->tap.x == x && it->tap.y == y && it->tap.lat == lat && it->tap.lon == lon) return &*it;
  }
  return nullptr;
}

int CSiteProjection::FindNearestTap(int32_t px, int32_t py) {
  if (m_taps.empty()) return -1;
  // A tap more than 40 pixels off along either axis can never be picked, so
  // it is passed over before squaring: a far tap must never overflow (or, in
  // 32 bits, wrap around to) a small distance.
  int64_t best = kPickRadiusSquared + 1;
  for (size_t i = 0; i < m_taps.size(); ++i) {
    const int64_t dy = int64_t{m_taps[i].y} - py;
    const int64_t dx = int64_t{m_taps[i].x} - px;
    if (dy < -40 || dy > 40 || dx < -40 || dx > 40) continue;
    const int64_t distance = dy * dy + dx * dx;
    if (distance < best) {  // strictly: on ties the earlier tap stays
      best = distance;
      m_selected = static_cast<int32_t>(i);
    }
  }
  return best <= kPickRadiusSquared ? 0 : -1;
}

SiteOutcome CSiteProjection::DeleteTap(size_t index) {
  if (index >= m_taps.size()) return {};
  m_selected = static_cast<int32_t>(index);
  return DeleteSelectedTap();
}

SiteOutcome CSiteProjection::DeleteSelectedTap() {
  if (m_selected < 0 || static_cast<size_t>(m_selected) >= m_taps.size()) return {};
  Remember();
  m_taps.erase(m_taps.begin() + m_selected);
  SiteOutcome outcome = JournalPoints();
  outcome.Say("Deleted.");
  return outcome;
}

void CSiteProjection::Remember() {
  undo_.push_back(m_taps);
  redo_.clear();
}

SiteOutcome CSiteProjection::Step(History& from, History& to) {
  if (from.empty()) return {};
  to.push_back(std::move(m_taps));
  m_taps = std::move(from.back());
  from.pop_back();
  return JournalPoints();
}

SiteOutcome CSiteProjection::Undo() { return Step(undo_, redo_); }

SiteOutcome CSiteProjection::Redo() { return Step(redo_, undo_); }

}  // namespace velkaro
