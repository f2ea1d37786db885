#include "gui/site_view/plan_bitmap.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QImageReader>

namespace velkaro {

LoadedPlan LoadPlanBitmap(const std::string& path) {
  LoadedPlan result;
  // Qt's reader says only that it failed; the open tells why it could not
  // start at all.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  ::close(fd);

  QImageReader reader(QString::fromStdString(path), "bmp");
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
