// Test helpers for the snapshot command: the wait-cursor probe, a widget
// that shows a given picture, and picture comparisons. The fakes that share
// one trail of events are in tests/support.
#ifndef VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
#define VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_

#include "tests/snapshot/jpeg_reader.h"

#include <QImage>
#include <QWidget>

namespace velkaro::test {

// Whether the wait cursor is up now: the probe the snapshot tests give the
// message box and the file prompt of tests/support.
bool WaitCursorUp();

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

}  // namespace velkaro::test

#endif  // VELKARO_TESTS_GUI_SNAPSHOT_SNAPSHOT_TEST_SUPPORT_H_
