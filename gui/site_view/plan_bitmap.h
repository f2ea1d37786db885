#pragma once

#include "gis/bmp_layout.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include <QImage>

namespace velkaro {

// A plan bitmap read from a .bmp file, or why it could not be: `error` is the
// errno of the failure (ENOENT, EACCES, ... when the file does not open;
// ENOMEM when the decoded picture would exceed the reader's memory limit;
// EINVAL when the bytes are not a bitmap the reader can decode; EIO when the
// file shrank while it was read).
struct LoadedPlan {
  QImage image;  // Format_RGB888: a plan costs 3 bytes a pixel
  int error = 0;
};

// Reads only the Windows bitmap format, whatever the file's name says:
// projection files carry the plan file byte for byte. Plain bitmaps are read
// in one pass straight into the picture; every other kind goes through Qt's
// reader. `progress`, when given, is called now and then with the share done
// (0..1), on the calling thread.
//
// Thread safety: touches no shared state beyond Qt's image allocation limit,
// which it only reads, so it may run on a worker thread.
LoadedPlan LoadPlanBitmap(const std::string& path,
                          const std::function<void(double done)>& progress = {});

// An empty picture for a bitmap with these headers (`head` the file's start)
// when its rows can be turned into the same pixels as Qt's reader gives, as
// LoadPlanBitmap reads them, and its size is within the allocation limit;
// else a null image.
QImage RowReaderPicture(std::span<const uint8_t> head, const gis::BmpLayout& layout);

// "Cannot load <path> Error (<code>)".
std::string CannotLoadText(const std::string& path, int error);

}  // namespace velkaro
