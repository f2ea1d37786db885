#pragma once

#include "image/bmp_layout.h"
#include "platform/status.h"

#include <functional>
#include <string>

#include <QImage>

namespace velkaro {

// A plan bitmap read from a .bmp file, or why it could not be: `status` says
// what went wrong (a file error when the file does not open; kNoMemory, with
// the sentence to show, when the free memory cannot hold the picture
// ("PLAN is 20000 x 15000 pixels; showing it needs 859 MB of memory, more
// than the 612 MB that can be had now."); kInvalid or
// kUnsupported when the bytes are not a bitmap the readers decode, or the
// file shrank while it was read). Its last_error() is the platform's error
// code the designed "Cannot load" message shows: the errno of the open
// (ENOENT, EACCES, ...), ENOMEM, EINVAL for bytes that do not decode, EIO
// for a file that shrank; 0 when the plan was read.
struct LoadedPlan {
  QImage image;  // Format_RGB888: a plan costs 3 bytes a pixel
  Status status;
};

// A plan that was not read, with last error code `error` (an errno) on
// `path`: ENOMEM is kNoMemory, EINVAL kInvalid, any other a file error.
LoadedPlan FailedPlan(int error, const std::string& path);

// Reads only the Windows bitmap format, whatever the file's name says:
// projection files carry the plan file byte for byte. The headers are read
// once; plain bitmaps (image::ChooseBmpReader) are then read in one pass
// straight into the picture, every other kind goes through Qt's reader.
// `progress`, when given, is called now and then with the share done
// (0..1), on the calling thread.
//
// Thread safety: touches no shared state beyond Qt's image allocation limit,
// which it only reads, so it may run on a worker thread.
LoadedPlan LoadPlanBitmap(const std::string& path,
                          const std::function<void(double done)>& progress = {});

// An empty picture for a bitmap with these headers when the row reader
// takes it (image::ChooseBmpReader) and its size is within the allocation
// limit; else a null image.
QImage RowReaderPicture(const image::BmpLayout& layout);

// The most memory a plan's picture may take now, in bytes; 0 when unknown.
uint64_t PictureLimit();
// kNoMemory for a projection file at `path` whose plan of `length` bytes is
// more than `limit`: "FILE holds a plan of N MB; showing it needs more
// memory than the M MB that can be had now."
Status PlanTooBigStatus(const std::string& path, uint64_t length, uint64_t limit);

// "Cannot load <path> Error (<code>)".
std::string CannotLoadText(const std::string& path, int error);

}  // namespace velkaro
