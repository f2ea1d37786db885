#include "gui/site_view/plan_bitmap.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <unistd.h>

#include <QFile>
#include <QImageReader>

namespace velkaro {

LoadedPlan LoadPlanBitmap(const std::string& path) {
  LoadedPlan result;
  // Qt's reader says only that it failed; the open tells why it could not
  // start at all. Only a regular file is read: a FIFO would freeze the window.
  int error = 0;
  const int fd = OpenRegularFile(path, &error);
  if (fd < 0) {
    result.error = error;
    return result;
  }
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    result.error = EIO;
    return result;
  }
  QImageReader reader(&file, "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    const QSize size = reader.size();
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    const bool too_large = size.isValid() && QImageReader::allocationLimit() > 0 &&
                           bytes > qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    result.error = too_large ? ENOMEM : EINVAL;
    return result;
  }
  result.image = image.convertToFormat(QImage::Format_RGB32);
  return result;
}

std::string CannotLoadText(const std::string& path, int error) {
  return "Cannot load " + path + " Error (" + std::to_string(error) + ")";
}

}  // namespace velkaro
