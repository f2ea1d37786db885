// The snapshot's capture: what a view shows, as the bottom-up 24-bit buffer
// the JPEG writer reads.
//
// The picture is laid out for a view 240 pixels wide and at least 266 high.
// The writer takes the 265 rows above the view's lowest row, so a capture of
// that shape gives it window rows H - 266 to H - 2, top to bottom. A view of
// any other size is first scaled to 240 x 266, which keeps the whole view in
// the picture (less its lowest row) and never lets the writer read past the
// end of the buffer.
//
// Thread safety: pure functions of their arguments.
#ifndef VELKARO_SNAPSHOT_GUI_CAPTURE_H_
#define VELKARO_SNAPSHOT_GUI_CAPTURE_H_

#include <vector>

class QImage;

namespace velkaro {

inline constexpr int kSnapshotWidth = 240;
inline constexpr int kSnapshotHeight = 265;
inline constexpr int kSnapshotQuality = 100;
// The picture's rows plus the view's lowest row, which the writer skips.
inline constexpr int kCaptureMinHeight = kSnapshotHeight + 1;

struct SnapshotCapture {
  int width = 0;
  int height = 0;
  // `height` rows of `width` * 3 bytes, no padding, each pixel red, green,
  // blue. Bottom-up: row k holds window row height - 1 - k.
  std::vector<unsigned char> pixels;
};

// The capture of `view_picture` (a view's own rendering, top-down, any
// format). A picture 240 wide and at least 266 high is taken as it is; any
// other size is scaled to 240 x 266 first. A picture with a device pixel
// ratio other than 1 is brought to its logical size before that rule is
// applied. A null picture gives an empty capture (width and height 0).
SnapshotCapture CaptureForSnapshot(const QImage& view_picture);

}  // namespace velkaro

#endif  // VELKARO_SNAPSHOT_GUI_CAPTURE_H_
