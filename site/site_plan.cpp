#include "site/site_plan.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace velkaro {
namespace {

// Narrows a 64-bit intermediate back to a coordinate. For the plans the
// program meets the value always fits; for absurd ones the nearest
// representable coordinate is better than a wrapped one.
int32_t Narrow(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Differences of two coordinates need 33 bits, so their products need 66.
__extension__ typedef __int128 Wide;

// (a * b) / c with the product formed first and the quotient truncated toward
// zero, as the viewport's arithmetic is defined. REQUIRES: c != 0.
int32_t MulDiv(int64_t a, int64_t b, int64_t c) {
  const Wide quotient = Wide{a} * b / c;
  if (quotient > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (quotient < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(quotient);
}

int32_t Half(int64_t sum) { return Narrow(sum / 2); }

}  // namespace

void CSitePlan::SetClientRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_client = {left, top, right, bottom};
}

void CSitePlan::SetPlanSize(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_planLeft = left;
  m_planRight = Narrow(int64_t{right} - left);
  m_planTop = top;
  m_planBottom = Narrow(int64_t{bottom} - top);
}

void CSitePlan::SetView(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_viewLeft = left;
  m_viewRight = Narrow(int64_t{right} - left);
  m_viewTop = top;
  m_viewBottom = Narrow(int64_t{bottom} - top);
  m_centerX = right / 2;
  m_centerY = bottom / 2;
  m_zoom = 1;
  m_shrink = 1;
}

void CSitePlan::ResizeClient(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  SetClientRect(left, top, right, bottom);
  const int64_t side = std::min(int64_t{right} - left, int64_t{bottom} - top);
  if (side < 1) return;
  const int64_t across = m_clientShaped ? int64_t{right} - left : side;
  const int64_t down = m_clientShaped ? int64_t{bottom} - top : side;
  // At zoom z the view is the zoom-1 square divided by z (times the shrink
  // below 100%); a client smaller than the zoom keeps the one-pixel view
  // ZoomIn would have stopped at.
  const int64_t shrink = std::max<int16_t>(m_shrink, 1);
  const int64_t zoom = std::max<int16_t>(m_zoom, 1);
  ViewAroundCenter(std::max<int64_t>(across * shrink / zoom, 1),
                   std::max<int64_t>(down * shrink / zoom, 1));
}

void CSitePlan::ViewAroundCenter(int64_t width, int64_t height) {
  const int64_t left_part = width / 2;
  const int64_t top_part = height / 2;
  m_viewLeft = Narrow(int64_t{m_centerX} - left_part);
  m_viewRight = Narrow(int64_t{m_centerX} + (width - left_part));
  m_viewTop = Narrow(int64_t{m_centerY} - top_part);
  m_viewBottom = Narrow(int64_t{m_centerY} + (height - top_part));
}

bool CSitePlan::CanZoomOut() const {
  if (m_zoom > 1) return true;
  const bool whole = int64_t{m_viewRight} - m_viewLeft >= int64_t{m_planRight} - m_planLeft &&
                     int64_t{m_viewBottom} - m_viewTop >= int64_t{m_planBottom} - m_planTop;
  return !whole && m_shrink <= std::numeric_limits<int16_t>::max() / 2;
}

void CSitePlan::ShowWholePlan() {
  const int64_t width = int64_t{m_client.right} - m_client.left;
  const int64_t height = int64_t{m_client.bottom} - m_client.top;
  const int64_t side = std::min(width, height);
  if (side < 1) return;
  const int64_t across = m_clientShaped ? width : side;
  const int64_t down = m_clientShaped ? height : side;
  m_zoom = 1;
  m_shrink = 1;
  while ((across * m_shrink < int64_t{m_planRight} - m_planLeft ||
          down * m_shrink < int64_t{m_planBottom} - m_planTop) &&
         m_shrink <= std::numeric_limits<int16_t>::max() / 2)
    m_shrink = static_cast<int16_t>(m_shrink * 2);
  m_centerX = Half(int64_t{m_planLeft} + m_planRight);
  m_centerY = Half(int64_t{m_planTop} + m_planBottom);
  ViewAroundCenter(across * m_shrink, down * m_shrink);
}

bool CSitePlan::ZoomIn() {
  const int32_t left = Half(int64_t{m_centerX} + m_viewLeft);
  const int32_t right = Half(int64_t{m_centerX} + m_viewRight);
  const int32_t top = Half(int64_t{m_centerY} + m_viewTop);
  const int32_t bottom = Half(int64_t{m_centerY} + m_viewBottom);
  // Past this point every transform would divide by a zero view extent.
  if (int64_t{right} - left < 1 || int64_t{bottom} - top < 1) return false;
  if (m_shrink == 1 && m_zoom > std::numeric_limits<int16_t>::max() / 2) return false;
  m_viewLeft = left;
  m_viewRight = right;
  m_viewTop = top;
  m_viewBottom = bottom;
  if (m_shrink > 1) {
    m_shrink = static_cast<int16_t>(m_shrink / 2);
  } else {
    m_zoom = static_cast<int16_t>(m_zoom * 2);
  }
  return true;
}

void CSitePlan::ZoomOut() {
  if (!CanZoomOut()) return;
  if (m_zoom == 1) {
    // Below 100% the view may reach past the plan: that is what shows all
    // of it.
    m_viewLeft = Narrow(2 * int64_t{m_viewLeft} - m_centerX);
    m_viewRight = Narrow(2 * int64_t{m_viewRight} - m_centerX);
    m_viewTop = Narrow(2 * int64_t{m_viewTop} - m_centerY);
    m_viewBottom = Narrow(2 * int64_t{m_viewBottom} - m_centerY);
    m_shrink = static_cast<int16_t>(m_shrink * 2);
    return;
  }
  m_viewLeft = std::max(Narrow(2 * int64_t{m_viewLeft} - m_centerX), m_planLeft);
  m_viewRight = std::min(Narrow(2 * int64_t{m_viewRight} - m_centerX), m_planRight);
  m_viewTop = std::max(Narrow(2 * int64_t{m_viewTop} - m_centerY), m_planTop);
  m_viewBottom = std::min(Narrow(2 * int64_t{m_viewBottom} - m_centerY), m_planBottom);
  m_centerX = Half(int64_t{m_viewLeft} + m_viewRight);
  m_centerY = Half(int64_t{m_viewTop} + m_viewBottom);
  m_zoom = static_cast<int16_t>(m_zoom / 2);
  if (m_zoom != 1) return;

  // Back at zoom 1 the view is the client's square again, kept on the plan
  // where the plan is large enough.
  const int64_t width = int64_t{m_client.right} - m_client.left;
  const int64_t height = int64_t{m_client.bottom} - m_client.top;
  const int64_t side = width <= height ? width : height;
  const int64_t across = m_clientShaped ? width : side;
  const int64_t down = m_clientShaped ? height : side;
  m_viewRight = Narrow(m_viewLeft + across);
  if (m_viewRight > m_planRight) {
    m_viewLeft = Narrow(m_planRight - across);
    m_viewRight = m_planRight;
  }
  m_viewBottom = Narrow(m_viewTop + down);
  if (m_viewBottom > m_planBottom) {
    m_viewTop = Narrow(m_planBottom - down);
    m_viewBottom = m_planBottom;
  }
  m_centerX = Half(int64_t{m_viewLeft} + m_viewRight);
  m_centerY = Half(int64_t{m_viewTop} + m_viewBottom);
}

void CSitePlan::RecenterHorizontally() {
  const int32_t half = Half(int64_t{m_viewRight} - m_viewLeft);
  m_viewRight = Narrow(int64_t{m_centerX} + half);
  m_viewLeft = Narrow(int64_t{m_centerX} - half);
}

void CSitePlan::RecenterVertically() {
  const int32_t half = Half(int64_t{m_viewBottom} - m_viewTop);
  m_viewBottom = Narrow(int64_t{m_centerY} + half);
  m_viewTop = Narrow(int64_t{m_centerY} - half);
}

void CSitePlan::ScrollLeft(int32_t distance) {
  m_centerX = std::max(Narrow(int64_t{m_centerX} - distance), m_planLeft);
  RecenterHorizontally();
}

void CSitePlan::ScrollRight(int32_t distance) {
  m_centerX = std::min(Narrow(int64_t{m_centerX} + distance), m_planRight);
  RecenterHorizontally();
}

void CSitePlan::ScrollUp(int32_t distance) {
  m_centerY = std::max(Narrow(int64_t{m_centerY} - distance), m_planTop);
  RecenterVertically();
}

void CSitePlan::ScrollDown(int32_t distance) {
  m_centerY = std::min(Narrow(int64_t{m_centerY} + distance), m_planBottom);
  RecenterVertically();
}

void CSitePlan::SetCenterX(int32_t x) {
  m_centerX = std::max(std::min(x, m_planRight), 0);
  RecenterHorizontally();
}

void CSitePlan::SetCenterY(int32_t y) {
  m_centerY = std::max(std::min(y, m_planBottom), 0);
  RecenterVertically();
}

bool CSitePlan::IsVisible(int32_t x, int32_t y) const {
  return m_viewLeft <= x && x <= m_viewRight && m_viewTop <= y && y <= m_viewBottom;
}

bool CSitePlan::PlanToScreen(const PlanRect& client, int32_t px, int32_t py, int32_t& sx,
                             int32_t& sy) const {
  if (!IsVisible(px, py)) return false;
  const int64_t view_width = int64_t{m_viewRight} - m_viewLeft;
  const int64_t view_height = int64_t{m_viewBottom} - m_viewTop;
  if (view_width == 0 || view_height == 0) return false;
  sx = Narrow(client.left + int64_t{MulDiv(int64_t{px} - m_viewLeft,
                                           int64_t{client.right} - client.left, view_width)});
  sy = Narrow(client.top + int64_t{MulDiv(int64_t{py} - m_viewTop,
                                          int64_t{client.bottom} - client.top, view_height)});
  return true;
}

void CSitePlan::ScreenToPlan(const PlanRect& client, int32_t sx, int32_t sy, int32_t& px,
                             int32_t& py) const {
  const int64_t client_width = int64_t{client.right} - client.left;
  const int64_t client_height = int64_t{client.bottom} - client.top;
  const int64_t dx =
      client_width == 0 ? 0 : MulDiv(sx, int64_t{m_viewRight} - m_viewLeft, client_width);
  const int64_t dy =
      client_height == 0 ? 0 : MulDiv(sy, int64_t{m_viewBottom} - m_viewTop, client_height);
  px = Narrow(m_viewLeft + dx);
  py = Narrow(m_viewTop + dy);
}

void CSitePlan::CenterOnScreenPoint(const PlanRect& client, int32_t sx, int32_t sy) {
  int32_t px = 0;
  int32_t py = 0;
  ScreenToPlan(client, sx, sy, px, py);
  SetCenterX(px);
  SetCenterY(py);
}

void CSitePlan::GetBlitRects(PlanRect& dest, PlanRect& source) const {
  const PlanRect client = dest;
  const int64_t vl = m_viewLeft, vr = m_viewRight, vt = m_viewTop, vb = m_viewBottom;
  const int64_t width = m_planRight, height = m_planBottom;
  // A view without extent shows nothing that could be proportioned; the
  // destination then stays the client rectangle.
  const bool has_width = vr != vl;
  const bool has_height = vb != vt;
  if (has_width && vl <= 0)
    dest.left =
        Narrow(client.left - int64_t{MulDiv(int64_t{client.right} - client.left, vl, vr - vl)});
  if (has_height && vt <= 0)
    dest.top =
        Narrow(client.top - int64_t{MulDiv(int64_t{client.bottom} - client.top, vt, vb - vt)});
  // The part past the far edge is proportioned on the whole client, as
  // PlanToScreen maps it: a view past both edges (a small plan, or any plan
  // zoomed out) then draws the plan exactly where the points land on it.
  if (has_width && vr > width)
    dest.right = Narrow(client.right -
                        int64_t{MulDiv(vr - width, int64_t{client.right} - client.left, vr - vl)});
  if (has_height && vb > height)
    dest.bottom = Narrow(client.bottom -
                         int64_t{MulDiv(vb - height, int64_t{client.bottom} - client.top, vb - vt)});
  source = {Narrow(std::max<int64_t>(vl, 0)), Narrow(std::max<int64_t>(vt, 0)),
            Narrow(std::min(vr, width)), Narrow(std::min(vb, height))};
}

}  // namespace velkaro
