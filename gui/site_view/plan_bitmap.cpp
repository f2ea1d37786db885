#include "gui/site_view/plan_bitmap.h"

#include "gis/bmp_layout.h"
#include "gis/bmp_rows.h"
#include "platform/byte_order.h"
#include "platform/regular_file.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QFile>
#include <QImageReader>

namespace velkaro {

namespace {

// Qt's limit (raised at start-up for large plans) binds both readers, so a
// header that claims an absurd picture is refused before anything is
// allocated, whichever reader would take it.
bool BeyondAllocationLimit(qint64 width, qint64 height, qint64 bytes_per_pixel) {
  const qint64 limit_mb = QImageReader::allocationLimit();
  return limit_mb > 0 && width * height * bytes_per_pixel > limit_mb * 1024 * 1024;
}

// The oldest OS/2 header: Qt's reader takes a short palette in such a file
// from whatever memory follows it, so a pixel's colour changed from load to
// load; the row reader ends the palette where the pixels begin and shows the
// missing entries black.
constexpr uint32_t kOs2CoreHeader = 12;

bool IsByteChannel(const gis::BmpChannel& channel, uint32_t mask) {
  return channel.mask == mask && channel.bits == 8;
}

// The bitmaps plans nearly always are, which the row reader turns into the
// same pixels as Qt's reader: 1-, 4-, 8- and 24-bit, 32-bit with plain byte
// channels, with a Windows header. Run-length coded ones too: Qt's reader
// leaves the pixels such a file never codes (cut short, or skipped by a
// delta) unset, so the same file showed different garbage from load to
// load, where the row reader gives them palette entry 0. Everything else
// (later OS/2 headers, which Qt refuses; palettes longer than the depth
// allows, likewise; 2- and 16-bit pixels; odd masks) stays with Qt's
// reader, judged as it always was.
bool TakenByRowReader(const uint8_t* head, const gis::BmpLayout& layout) {
  const uint32_t header_size = LoadLe32(head + 14);
  const bool windows = header_size == 40 || header_size == 52 || header_size == 56 ||
                       header_size == 108 || header_size == 124;
  const int bits = layout.bits_per_pixel;
  if (header_size == kOs2CoreHeader) return bits <= 8 || bits == 24;
  if (!windows) return false;
  if (bits <= 8 && LoadLe32(head + 14 + 32) > (1u << bits)) return false;
  switch (bits) {
    case 1:
    case 4:
    case 8:
    case 24:
      return true;
    case 32:
      return IsByteChannel(layout.channels[0], 0xff0000) &&
             IsByteChannel(layout.channels[1], 0xff00) && IsByteChannel(layout.channels[2], 0xff);
    default:
      return false;
  }
}

struct Mapping {
  void* address;
  size_t size;
};

void Unmap(void* info) {
  const auto* mapping = static_cast<Mapping*>(info);
  ::munmap(mapping->address, mapping->size);
  delete mapping;
}

// An RGB888 picture in memory of its own, mapped with huge pages where the
// system offers them: faulting in 300 MB page by page costs more than
// reading the file, and huge pages take that cost down by the page count.
QImage NewPicture(int32_t width, int32_t height) {
  const qsizetype bytes_per_line = (qsizetype(width) * 3 + 3) / 4 * 4;
  const size_t size = size_t(bytes_per_line) * size_t(height);
  void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (address == MAP_FAILED) return {};
  ::madvise(address, size, MADV_HUGEPAGE);  // only advice: refused is fine
  QImage image(static_cast<uchar*>(address), width, height, bytes_per_line, QImage::Format_RGB888,
               Unmap, new Mapping{address, size});
  if (image.isNull()) ::munmap(address, size);
  return image;
}

}  // namespace

QImage RowReaderPicture(std::span<const uint8_t> head, const gis::BmpLayout& layout) {
  if (!TakenByRowReader(head.data(), layout) ||
      BeyondAllocationLimit(layout.width, layout.height, 3))
    return {};
  return NewPicture(layout.width, layout.height);
}

namespace {

// One pass over the file, each row read straight into its line of the
// picture: nothing but the picture is held.
LoadedPlan ReadRows(int fd, const std::function<void(double)>& progress) {
  LoadedPlan result;
  gis::BmpRows rows;
  if (!rows.Open(fd).empty()) {
    result.error = EINVAL;
    return result;
  }
  if (BeyondAllocationLimit(rows.width(), rows.height(), 3)) {
    result.error = ENOMEM;
    return result;
  }
  QImage image = NewPicture(rows.width(), rows.height());
  if (image.isNull()) {
    result.error = ENOMEM;
    return result;
  }
  const int32_t height = rows.height();
  // About a hundred progress reports, whatever the plan's size.
  const int32_t report_every = std::max(height / 100, 1);
  for (int32_t y = 0; y < height; ++y) {
    if (!rows.ReadRow(y, image.scanLine(y)).empty()) {
      result.error = EIO;  // the file shrank after its size was checked
      return result;
    }
    if (progress && (y + 1) % report_every == 0) progress(double(y + 1) / height);
  }
  result.image = std::move(image);
  return result;
}

// Everything else: RLE, OS/2 headers, 16-bit, odd masks, damaged files.
LoadedPlan ReadThroughQt(int fd) {
  LoadedPlan result;
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
    // Qt's reader says only that it failed; its size tells whether the
    // picture was refused for its size.
    const QSize size = reader.size();
    result.error =
        size.isValid() && BeyondAllocationLimit(size.width(), size.height(), 4) ? ENOMEM : EINVAL;
    return result;
  }
  result.image = image.convertToFormat(QImage::Format_RGB888);
  return result;
}

}  // namespace

LoadedPlan LoadPlanBitmap(const std::string& path, const std::function<void(double)>& progress) {
  // The open tells why a file could not be read at all. Only a regular file
  // is read: a FIFO would never end.
  int error = 0;
  const int fd = OpenRegularFile(path, &error);
  if (fd < 0) {
    LoadedPlan result;
    result.error = error;
    return result;
  }
  struct stat info {};
  std::vector<uint8_t> head(gis::kBmpHeadBytes);
  ssize_t got = -1;
  if (::fstat(fd, &info) == 0) got = ::pread(fd, head.data(), head.size(), 0);
  gis::BmpLayout layout;
  if (got > 0 &&
      gis::ParseBmpLayout({head.data(), size_t(got)}, uint64_t(info.st_size), layout).empty() &&
      TakenByRowReader(head.data(), layout)) {
    LoadedPlan result = ReadRows(fd, progress);
    ::close(fd);
    return result;
  }
  return ReadThroughQt(fd);  // takes the descriptor
}

std::string CannotLoadText(const std::string& path, int error) {
  return "Cannot load " + path + " Error (" + std::to_string(error) + ")";
}

}  // namespace velkaro
