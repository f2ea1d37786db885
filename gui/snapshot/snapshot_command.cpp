#include "gui/snapshot/snapshot_command.h"

#include "gui/common/sound.h"
#include "gui/common/wait_cursor.h"
#include "gui/snapshot/capture.h"
#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "platform/wave_player.h"
#include "snapshot/jpeg_writer.h"
#include "snapshot/snapshot_counter.h"

#include <optional>
#include <span>
#include <string>
#include <utility>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace velkaro {

SnapshotCommand::SnapshotCommand(IWavePlayer& waves, IFilePrompt& files, IMessageBox& messages,
                                 std::filesystem::path counter_folder)
    : waves_(&waves),
      files_(&files),
      messages_(&messages),
      counter_folder_(std::move(counter_folder)) {}

void SnapshotCommand::operator()(QWidget& view) const {
  // The sound runs while the view is captured and the dialog opens.
  PlayWaveAsync(*waves_, kSnapshotSound);

  // Captured before the dialog, so the picture is the view as the user saw
  // it when asking, not the view with a dialog's traces.
  // Past the handheld's layout the picture is what the user sees of the
  // view: a scrolling view's area without its scroll bars.
  QWidget* shown = &view;
  if (auto* area = qobject_cast<QAbstractScrollArea*>(&view);
      area != nullptr && !InHandheldLayout(view.width(), view.height()))
    shown = area->viewport();
  const SnapshotCapture capture = CaptureForSnapshot(shown->grab().toImage());

  // The dialog opens in the current folder: its first free name is proposed.
  std::error_code no_folder;  // then names are looked up relative to it anyway
  const int number = FirstFreeSnapshotNumber(std::filesystem::current_path(no_folder),
                                             ReadSnapshotCounter(counter_folder_));
  const std::optional<std::string> path =
      files_->SaveFile("Save snapshot", kSnapshotFilter, kSnapshotDefaultExt, /*overwrite_prompt=*/false,
                       ProposedSnapshotName(number));
  if (!path) return;

  WaitCursor wait;
  // The checked overload: a capture too small for the picture (only an
  // empty view gives one) is refused with a message, never read past.
  if (!WriteJpeg(*path, capture.width, capture.picture_height, kSnapshotQuality,
                 std::span<const unsigned char>(capture.pixels))) {
    messages_->ShowOk(GetJpegError());
  }
  // A counter that cannot be written is not worth a message: the next
  // snapshot proposes the same name and the user can change it.
  AdvanceSnapshotCounter(counter_folder_, number);
}

}  // namespace velkaro
