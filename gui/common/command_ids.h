#pragma once

#include <array>

namespace velkaro {

// Command identifiers of the command bar, in the bar's order.
inline constexpr int ID_NEW_PROJECTION = 32771;
inline constexpr int ID_OPEN_PROJECTION = 32772;
inline constexpr int ID_SAVE_PROJECTION = 32773;
inline constexpr int ID_ZOOM_IN = 32774;
inline constexpr int ID_ZOOM_OUT = 32775;
inline constexpr int ID_POINT_LIST = 32776;
inline constexpr int ID_SNAPSHOT = 32777;
inline constexpr int ID_APP_ABOUT = 57664;
// Not on the bar: their shortcuts (Ctrl+Z, Ctrl+Shift+Z) and the point list.
inline constexpr int ID_UNDO = 57643;
inline constexpr int ID_REDO = 57644;
// Only in the menus: the whole plan in view, the quick-start help, the
// end of the program.
inline constexpr int ID_WHOLE_PLAN = 32778;
inline constexpr int ID_QUICK_START = 32779;
inline constexpr int ID_EXPORT = 32780;
inline constexpr int ID_APP_EXIT = 57665;

inline constexpr std::array<int, 8> kToolbarCommands = {
    ID_NEW_PROJECTION, ID_OPEN_PROJECTION, ID_SAVE_PROJECTION, ID_ZOOM_IN,
    ID_ZOOM_OUT,       ID_POINT_LIST,      ID_SNAPSHOT,        ID_APP_ABOUT};

// The prompt string of a command ("" for the snapshot, which has none).
const char* CommandPrompt(int id);

}  // namespace velkaro
