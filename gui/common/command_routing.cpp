#include "gui/common/command_ids.h"
#include "gui/common/command_target.h"

namespace velkaro {

const char* CommandPrompt(int id) {
  switch (id) {
    case ID_NEW_PROJECTION:
      return "Create a New Projection File";
    case ID_OPEN_PROJECTION:
      return "Open Projection File";
    case ID_SAVE_PROJECTION:
      return "Save Projection File";
    case ID_ZOOM_IN:
      return "Zoom In";
    case ID_ZOOM_OUT:
      return "Zoom Out";
    case ID_POINT_LIST:
      return "Point List";
    case ID_APP_ABOUT:
      return "About Velkaro";
    default:
      return "";
  }
}

ICommandTarget* RouteCommand(int id, std::initializer_list<ICommandTarget*> route) {
  for (ICommandTarget* target : route) {
    if (target && target->HandlesCommand(id)) return target;
  }
  return nullptr;
}

}  // namespace velkaro
