#pragma once

#include <string>

#include <QImage>

namespace velkaro {

// A plan bitmap read from a .bmp file, or why it could not be: `error` is the
// errno of the failure (ENOENT, EACCES, ... when the file does not open;
// ENOMEM when the decoded picture would exceed the reader's memory limit;
// EINVAL when the bytes are not a bitmap the reader can decode).
struct LoadedPlan {
  QImage image;
  int error = 0;
};

// Reads only the Windows bitmap format, whatever the file's name says:
// projection files carry the plan file byte for byte. UI thread only.
LoadedPlan LoadPlanBitmap(const std::string& path);

// "Cannot load <path> Error (<code>)".
std::string CannotLoadText(const std::string& path, int error);

}  // namespace velkaro
