// The snapshot's capture: what a view shows, as the bottom-up 24-bit buffer
// the JPEG writer reads.
//
// In the handheld's layout (a view 240 pixels wide and 266 to 285 high) the
// picture is 240 x 265: the writer takes the 265 rows above the view's
// lowest row, window rows H - 266 to H - 2, top to bottom. A view of any
// other size is pictured whole at its real size: the buffer gets one white
// row below the view for the writer to skip, so it never reads past the end.
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
// The tallest view still pictured as on the handheld (its layout height).
inline constexpr int kCaptureLayoutMaxHeight = 285;

// Whether a view of `width` x `height` is in the handheld's layout.
inline bool InHandheldLayout(int width, int height) {
  return width == kSnapshotWidth && height >= kCaptureMinHeight &&
         height <= kCaptureLayoutMaxHeight;
}

struct SnapshotCapture {
  int width = 0;
  int height = 0;
  // `height` rows of `width` * 3 bytes, no padding, each pixel red, green,
  // blue. Bottom-up: row k holds window row height - 1 - k.
  std::vector<unsigned char> pixels;
  // The picture the writer is to make of it: `width` x `picture_height`,
  // the rows above the buffer's lowest.
  int picture_height = 0;
};

// The capture of `view_picture` (a view's own rendering, top-down, any
// format). In the handheld's layout it is taken as it is, for a 240 x 265
// picture; at any other size whole, for a picture of its own size. A
// picture with a device pixel ratio other than 1 is brought to its logical
// size before that rule is applied. A null picture gives an empty capture
// (all sizes 0).
SnapshotCapture CaptureForSnapshot(const QImage& view_picture);

}  // namespace velkaro

#endif  // VELKARO_SNAPSHOT_GUI_CAPTURE_H_
