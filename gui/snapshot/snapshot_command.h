// The snapshot command (32777): saves what the active view shows as a
// numbered 240 x 265 JPEG.
//
// In order: the "CAMERA" sound starts (without waiting for it), the view is
// captured, the counter file proposes the name "vk%06d.jpg", and the save
// dialog asks for the path (its folder must exist; an existing file is
// replaced without asking). Cancel ends the command with nothing written.
// Once a path is confirmed, under the wait cursor: the picture is encoded at
// quality 100, a failure is shown in an OK box with the writer's message,
// and the counter advances, also after a failed encoding, so a failed
// snapshot uses up its number. A counter that cannot be written is not
// reported and stays as it was.
//
// Lifetime: the players, prompts and boxes are held by reference and must
// outlive the command and every copy of it (the application keeps one in
// its AppContext).
// Thread safety: UI thread only; runs modally until the file is written.
#ifndef VELKARO_SNAPSHOT_GUI_SNAPSHOT_COMMAND_H_
#define VELKARO_SNAPSHOT_GUI_SNAPSHOT_COMMAND_H_

#include <filesystem>

class QWidget;

namespace velkaro {

class IFilePrompt;
class IMessageBox;
class IWavePlayer;

// The save dialog's filter, in the handheld's "A|a|B|b||" form.
inline constexpr char kSnapshotFilter[] = "Snapshot JPEG (*.jpg)|*.jpg|All Files (*.*)|*.*||";
inline constexpr char kSnapshotDefaultExt[] = ".JPG";
inline constexpr char kSnapshotSound[] = "CAMERA";

class SnapshotCommand {
 public:
  // `counter_folder` holds the counter file "vkimgcnt.cnt" (the program
  // passes the user's home directory).
  SnapshotCommand(IWavePlayer& waves, IFilePrompt& files, IMessageBox& messages,
                  std::filesystem::path counter_folder);

  // Takes one snapshot of `view` (the picture's size follows the view's own
  // area, not the frame's).
  void operator()(QWidget& view) const;

 private:
  IWavePlayer* waves_;
  IFilePrompt* files_;
  IMessageBox* messages_;
  std::filesystem::path counter_folder_;
};

}  // namespace velkaro

#endif  // VELKARO_SNAPSHOT_GUI_SNAPSHOT_COMMAND_H_
