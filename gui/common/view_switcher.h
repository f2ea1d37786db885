#pragma once

namespace velkaro {

// The view classes the frame can show.
enum class ViewClass { kStatus, kSite };

// The frame's side of a view switch, as the status view sees it.
class IViewSwitcher {
 public:
  virtual ~IViewSwitcher() = default;
  // Makes a view of `view_class` the active view, creating it on first use;
  // does nothing when it is already active. UI thread only.
  virtual void SwitchView(ViewClass view_class, int control_id) = 0;
};

}  // namespace velkaro
