// Test helpers for the snapshot command: fakes that write one shared trail
// of events (so the order of sound, dialog and message can be read back), a
// widget that shows a given picture, and picture comparisons.
#ifndef VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
#define VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_

#include "platform/file_prompt.h"
#include "platform/message_box.h"
#include "platform/wave_player.h"
#include "tests/snapshot/jpeg_reader.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

namespace velkaro::test {

using Trail = std::vector<std::string>;

// "wave async NAME" / "wave wait NAME".
class TrailWavePlayer : public IWavePlayer {
 public:
  explicit TrailWavePlayer(Trail& trail) : trail_(trail) {}
  void PlayAsync(const std::string& name) override { trail_.push_back("wave async " + name); }
  void Play(const std::string& name) override { trail_.push_back("wave wait " + name); }

 private:
  Trail& trail_;
};

// "save PROPOSED" for each save dialog; answers from `answers` (an empty
// optional, or an empty queue, is a cancel).
class TrailFilePrompt : public IFilePrompt {
 public:
  struct SaveRequest {
    std::string filter;
    std::string default_ext;
    bool overwrite_prompt = true;
    std::string proposed_name;
    bool wait_cursor = false;  // the wait cursor was up while the dialog showed
  };

  explicit TrailFilePrompt(Trail& trail) : trail_(trail) {}
  std::optional<std::string> OpenFile(const std::string&, const std::string&) override;
  std::optional<std::string> SaveFile(const std::string& filter, const std::string& default_ext,
                                      bool overwrite_prompt,
                                      const std::string& proposed_name) override;

  std::deque<std::optional<std::string>> answers;
  std::vector<SaveRequest> saves;

 private:
  Trail& trail_;
};

// "ok TEXT" for each report.
class TrailMessageBox : public IMessageBox {
 public:
  explicit TrailMessageBox(Trail& trail) : trail_(trail) {}
  void ShowOk(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

  std::vector<bool> wait_cursor_at_ok;

 private:
  Trail& trail_;
};

// A widget of the picture's size that paints the picture.
class PictureView : public QWidget {
 public:
  explicit PictureView(QImage picture);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

// A picture whose rows are greys that differ a lot from row to row, so a
// picture taken one row off is plainly different.
QImage RowCodedPicture(int width, int height);

// The larger, over the three channels, of the mean absolute difference
// between the decoded picture's rows [picture_row, picture_row + rows) and
// `source` rows [source_row, source_row + rows), over the narrower width.
double MeanAbsDifference(const testing::DecodedJpeg& picture, int picture_row, const QImage& source,
                         int source_row, int rows);

// The mean colour of the decoded picture over the rectangle.
struct MeanColour {
  double r = 0, g = 0, b = 0;
};
MeanColour MeanOver(const testing::DecodedJpeg& picture, int x, int y, int w, int h);

std::optional<std::string> ReadText(const std::filesystem::path& path);
void WriteText(const std::filesystem::path& path, const std::string& text);

}  // namespace velkaro::test

#endif  // VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
