#pragma once

#include <cstdint>

namespace velkaro {

// A rectangle in plan pixels or client pixels; right and bottom are exclusive
// in the sense the viewport uses them (width = right - left).
struct PlanRect {
  int32_t left, top, right, bottom;
};

// The viewport onto the site plan bitmap: the plan's extent, the part of it on
// screen, the zoom factor and the window's client area, and the conversions
// between plan pixels and screen points. It holds no bitmap.
//
// Arithmetic: every coordinate is a 32-bit signed integer and every division
// truncates toward zero, with each product formed before its division. Sums
// are taken in 64 bits and products in 128, and each result is narrowed back
// to 32 bits by saturating, so a plan of any size gives the exact quotient
// instead of undefined behaviour or a wrapped value; wherever plain 32-bit
// arithmetic would not overflow, the results are exactly its results.
//
// Degenerate sizes: ZoomIn refuses a step that would leave the view narrower
// or lower than one pixel, and no transform divides by a zero client or view
// extent (see each operation).
//
// Thread safety: none; the site view uses it on the UI thread only.
class CSitePlan {
 public:
  CSitePlan() = default;
  virtual ~CSitePlan() = default;

  void SetClientRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Stores the plan's bounds: the site view passes (0, 0, width, height).
  void SetPlanSize(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Sets the view rectangle, its centre and zoom 1 (shrink 1): the site view passes
  // (0, 0, s, s) with s the shorter side of the client area.
  void SetView(int32_t left, int32_t top, int32_t right, int32_t bottom);

  // With `on`, the view is the client's shape rather than its square (at
  // zoom z, the client's width and height divided by z), so that a wide
  // desktop window shows plan pixels square instead of stretched; the
  // handheld's window keeps the square. Takes effect at the next
  // ResizeClient, zoom step or ShowWholePlan.
  void UseClientShape(bool on) { m_clientShaped = on; }

  // The window's client area changed size: stores it and sets the view up
  // again for it, keeping the centre and the zoom, so the view becomes the
  // square of side s / zoom around the centre, s being the new client's
  // shorter side. A larger window shows more of the plan rather than the
  // same plan pixels stretched. Leaves the view alone when the client has no
  // extent, so no transform ever divides by zero.
  void ResizeClient(int32_t left, int32_t top, int32_t right, int32_t bottom);

  // Halves the view around its centre and doubles the zoom (below 100%,
  // halves the shrink instead). Returns false and changes nothing when the
  // halved view would be less than one pixel wide or high, or the zoom
  // factor would no longer fit its 16 bits.
  bool ZoomIn();
  // Doubles the view around its centre (clipped to the plan) and halves the
  // zoom; back at zoom 1 the view is fitted to the client's square again.
  // At zoom 1 and below (100%, 50%, 25%...), the view doubles around its
  // centre, reaching past the plan, and the shrink doubles, until the view
  // is as wide and as high as the whole plan; then it does nothing.
  void ZoomOut();
  // Whether ZoomOut would change the view.
  bool CanZoomOut() const;
  // The smallest shrink whose view holds the whole plan, centred on the plan
  // (100% when the plan fits the client's square).
  void ShowWholePlan();
  // The zoom as a percentage: 100 * zoom / shrink (12 for 12.5%).
  int ZoomPercent() const { return 100 * m_zoom / m_shrink; }
  // Client pixels per plan pixel across the view's square: zoom / shrink.
  double Scale() const { return static_cast<double>(m_zoom) / m_shrink; }
  int16_t GetShrink() const { return m_shrink; }

  // Move the centre by `distance` plan pixels, clamped to the plan bounds; the
  // view keeps its size (an odd size loses one pixel) and may reach past the
  // plan.
  void ScrollLeft(int32_t distance);
  void ScrollRight(int32_t distance);
  void ScrollUp(int32_t distance);
  void ScrollDown(int32_t distance);
  // Place the centre, clamped to 0..plan right (bottom).
  void SetCenterX(int32_t x);
  void SetCenterY(int32_t y);
  int32_t GetCenterX() const { return m_centerX; }
  int32_t GetCenterY() const { return m_centerY; }
  int16_t GetZoom() const { return m_zoom; }
  PlanRect GetView() const { return {m_viewLeft, m_viewTop, m_viewRight, m_viewBottom}; }
  PlanRect GetPlan() const { return {m_planLeft, m_planTop, m_planRight, m_planBottom}; }

  // True when the plan point lies in the view, all four edges inclusive.
  bool IsVisible(int32_t x, int32_t y) const;
  // Screen point of a plan point. Returns false, leaving the outputs unset,
  // when the point is not visible or the view has no extent.
  bool PlanToScreen(const PlanRect& client, int32_t px, int32_t py, int32_t& sx, int32_t& sy) const;
  // Plan point under a screen point (relative to the client's origin). A
  // client area without width (height) maps every point to the view's left
  // (top) edge.
  void ScreenToPlan(const PlanRect& client, int32_t sx, int32_t sy, int32_t& px, int32_t& py) const;
  // Makes the plan point under the screen point the centre of the view.
  void CenterOnScreenPoint(const PlanRect& client, int32_t sx, int32_t sy);
  // `dest` comes in as the client rectangle and goes out as where to draw;
  // `source` is set to the part of the plan to draw there. Where the view
  // reaches past the plan, the destination is narrowed in proportion.
  void GetBlitRects(PlanRect& dest, PlanRect& source) const;

  int32_t m_planLeft = 0;
  int32_t m_planRight = 0;
  int32_t m_planTop = 0;
  int32_t m_planBottom = 0;
  int32_t m_viewLeft = 0;
  int32_t m_viewRight = 0;
  int32_t m_viewTop = 0;
  int32_t m_viewBottom = 0;
  int32_t m_centerX = 0;
  int32_t m_centerY = 0;
  int16_t m_zoom = 1;
  // Whether the view takes the client's shape (ResizeClient and friends).
  bool m_clientShaped = false;
  // Below 100%: the view is this many times the client's square; 1 at 100%
  // and above, where m_zoom is 1 or more. One of the two is always 1.
  int16_t m_shrink = 1;
  PlanRect m_client{0, 0, 0, 0};

 private:
  // The view as `width` x `height` around the centre, which stays exactly
  // put; an odd extent puts its extra pixel after it.
  void ViewAroundCenter(int64_t width, int64_t height);
  // Recentres the view on the (already clamped) centre, keeping its size.
  void RecenterHorizontally();
  void RecenterVertically();
};

}  // namespace velkaro
