#include "gui/site_view/plan_bitmap.h"

#include "image/bmp_reader_choice.h"
#include "image/bmp_rows.h"
#include "platform/memory.h"
#include "platform/path_names.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <QFile>
#include <QImageReader>

namespace velkaro {

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;

// The most a picture may take now, in bytes: the free memory, or Qt's
// limit where that is lower (the program sets none; tests do); 0: unknown.
uint64_t CurrentPictureLimit() {
  const qint64 limit_mb = QImageReader::allocationLimit();
  const uint64_t qt = limit_mb > 0 ? uint64_t(limit_mb) * kMegabyte : 0;
  const uint64_t free = AvailableMemoryBytes();
  return qt == 0 ? free : free == 0 ? qt : std::min(qt, free);
}

// So a header that claims an absurd picture, or one the memory cannot hold,
// is refused before anything is allocated, whichever reader would take it.
bool BeyondAllocationLimit(qint64 width, qint64 height, qint64 bytes_per_pixel) {
  const uint64_t limit = CurrentPictureLimit();
  return limit > 0 && uint64_t(width) * uint64_t(height) * uint64_t(bytes_per_pixel) > limit;
}

// The refusal of a plan the memory cannot hold, with what it would take.
LoadedPlan TooBig(const std::string& path, qint64 width, qint64 height, qint64 bytes_per_pixel) {
  const uint64_t need = uint64_t(width) * uint64_t(height) * uint64_t(bytes_per_pixel);
  LoadedPlan result;
  result.status =
      Status::NoMemory(
          BaseName(path) + " is " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels; showing it needs " + std::to_string((need + kMegabyte - 1) / kMegabyte) +
              " MB of memory, more than the " + std::to_string(CurrentPictureLimit() / kMegabyte) +
              " MB that can be had now.",
          path)
          .WithLastError(ENOMEM);
  return result;
}

void FreePages(void* buffer) { delete static_cast<PageBuffer*>(buffer); }

// Whether the plan's rows can be shown as they are stored: uncompressed
// 24-bit rows are blue, green, red, padded to four bytes, which is exactly a
// BGR888 picture's line; any other kind is converted to RGB888.
bool ShownAsStored(const image::BmpLayout& layout) {
  return layout.coding == image::BmpCoding::kRaw && layout.bits_per_pixel == 24 &&
         layout.stride == (uint64_t(layout.width) * 3 + 3) / 4 * 4;
}

// A 3-byte picture in memory of its own, mapped with huge pages where the
// system offers them: faulting in 300 MB page by page costs more than
// reading the file, and huge pages take that cost down by the page count.
// Every line is written before the picture is shown, so it is faulted in
// at once, which keeps huge pages only while they come cheaply: on a
// virtual machine that backs them anew, the picture's first open took three
// times as long in huge pages as in small ones.
QImage NewPicture(int32_t width, int32_t height, QImage::Format format) {
  const qsizetype bytes_per_line = (qsizetype(width) * 3 + 3) / 4 * 4;
  auto* pages =
      new PageBuffer(size_t(bytes_per_line) * size_t(height), PageBuffer::Faults::kUpFront);
  if (pages->data() == nullptr) {
    delete pages;
    return {};
  }
  QImage image(pages->data(), width, height, bytes_per_line, format, FreePages, pages);
  if (image.isNull()) delete pages;
  return image;
}

}  // namespace

uint64_t PictureLimit() { return CurrentPictureLimit(); }

Status PlanTooBigStatus(const std::string& path, uint64_t length, uint64_t limit) {
  return Status::NoMemory(BaseName(path) + " holds a plan of " +
                              std::to_string((length + kMegabyte - 1) / kMegabyte) +
                              " MB; showing it needs more memory than the " +
                              std::to_string(limit / kMegabyte) + " MB that can be had now.",
                          path)
      .WithLastError(ENOMEM);
}

LoadedPlan FailedPlan(int error, const std::string& path) {
  LoadedPlan result;
  if (error == ENOMEM)
    result.status =
        Status::NoMemory("the plan does not fit in the memory allowed for pictures", path)
            .WithLastError(error);
  else if (error == EINVAL)
    result.status = Status::Invalid("the plan bitmap cannot be read", path).WithLastError(error);
  else
    result.status = Status::FromErrno(error, path);
  return result;
}

QImage RowReaderPicture(const image::BmpLayout& layout) {
  if (image::ChooseBmpReader(layout) != image::BmpReader::kRows ||
      BeyondAllocationLimit(layout.width, layout.height, 3))
    return {};
  return NewPicture(layout.width, layout.height,
                    ShownAsStored(layout) ? QImage::Format_BGR888 : QImage::Format_RGB888);
}

namespace {

LoadedPlan Failed(int error, Status status) {
  LoadedPlan result;
  result.status = std::move(status).WithLastError(error);
  return result;
}

// Rows shown as stored go from the file to their lines in one system call
// per kRowsPerRead rows, the kernel placing each (bottom-up files upside
// down): no pass over the pixels in this process at all.
Status ReadStoredRows(int fd, const std::string& path, const image::BmpLayout& layout,
                      QImage& image, const std::function<void(double)>& progress) {
  constexpr int32_t kRowsPerRead = 256;  // at most IOV_MAX
  const int32_t height = layout.height;
  const size_t stride = size_t(layout.stride);
  std::vector<iovec> lines(size_t(std::min(height, kRowsPerRead)));
  for (int32_t first = 0; first < height; first += kRowsPerRead) {
    const int32_t count = std::min(kRowsPerRead, height - first);
    for (int32_t k = 0; k < count; ++k) {
      const int32_t stored = first + k;
      const int32_t row = layout.top_down ? stored : height - 1 - stored;
      lines[size_t(k)] = {image.scanLine(row), stride};
    }
    uint64_t offset = layout.pixel_offset + uint64_t(first) * stride;
    size_t left = size_t(count) * stride;
    iovec* next = lines.data();
    int pieces = count;
    while (left > 0) {
      const ssize_t got = ::preadv(fd, next, pieces, off_t(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return Status::FromErrno(errno, path);
      // The size was checked when the file was opened: it has shrunk since.
      if (got == 0) return Status::Invalid("the plan bitmap ends early", path);
      offset += uint64_t(got);
      left -= size_t(got);
      // Past the lines filled whole; into the one filled in part.
      size_t done = size_t(got);
      while (pieces > 0 && done >= next->iov_len) {
        done -= next->iov_len;
        ++next;
        --pieces;
      }
      if (pieces > 0) {
        next->iov_base = static_cast<uint8_t*>(next->iov_base) + done;
        next->iov_len -= done;
      }
    }
    if (progress) progress(double(first + count) / height);
  }
  return Status::Ok();
}

// One pass over the file, each row read straight into its line of the
// picture: nothing but the picture is held. The headers are the ones the
// choice of reader was made on.
LoadedPlan ReadRows(int fd, const std::string& path, const image::BmpLayout& layout,
                    uint64_t file_size, const std::function<void(double)>& progress) {
  // Refused before the run-length codes are read, or anything allocated.
  if (BeyondAllocationLimit(layout.width, layout.height, 3))
    return TooBig(path, layout.width, layout.height, 3);
  image::BmpRows rows;
  // Only a read of the run-length codes can fail here.
  if (Status opened = rows.Open(fd, layout, file_size, path); !opened.ok())
    return Failed(EINVAL, std::move(opened));
  const bool as_stored = ShownAsStored(layout);
  QImage image = NewPicture(rows.width(), rows.height(),
                            as_stored ? QImage::Format_BGR888 : QImage::Format_RGB888);
  if (image.isNull()) return TooBig(path, rows.width(), rows.height(), 3);
  if (as_stored) {
    if (Status read = ReadStoredRows(fd, path, layout, image, progress); !read.ok())
      return Failed(EIO, std::move(read));
    LoadedPlan result;
    result.image = std::move(image);
    return result;
  }
  const int32_t height = rows.height();
  // About a hundred progress reports, whatever the plan's size.
  const int32_t report_every = std::max(height / 100, 1);
  for (int32_t y = 0; y < height; ++y) {
    if (Status read = rows.ReadRow(y, image.scanLine(y)); !read.ok())
      return Failed(EIO, std::move(read));  // the file shrank after its size was checked
    if (progress && (y + 1) % report_every == 0) progress(double(y + 1) / height);
  }
  LoadedPlan result;
  result.image = std::move(image);
  return result;
}

// Everything else: OS/2 2.x headers, 16-bit, odd masks, damaged files.
LoadedPlan ReadThroughQt(int fd, const std::string& path) {
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return FailedPlan(EIO, path);
  }
  QImageReader reader(&file, "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    // Qt's reader says only that it failed; its size tells whether the
    // picture was refused for its size.
    const QSize size = reader.size();
    if (size.isValid() && BeyondAllocationLimit(size.width(), size.height(), 4))
      return TooBig(path, size.width(), size.height(), 4);
    return Failed(
        EINVAL, Status::Invalid(
                    "the plan bitmap cannot be read: " + reader.errorString().toStdString(), path));
  }
  LoadedPlan result;
  result.image = image.convertToFormat(QImage::Format_RGB888);
  return result;
}

}  // namespace

LoadedPlan LoadPlanBitmap(const std::string& path, const std::function<void(double)>& progress) {
  // The open tells why a file could not be read at all. Only a regular file
  // is read: a FIFO would never end.
  int error = 0;
  const int fd = OpenRegularFile(path, &error);
  if (fd < 0) return FailedPlan(error, path);
  // The headers are read once: they choose the reader, and the row reader
  // starts from them. Headers that do not parse are Qt's reader's to judge.
  image::BmpLayout layout;
  uint64_t file_size = 0;
  if (image::ReadBmpLayout(fd, path, layout, file_size).ok() &&
      image::ChooseBmpReader(layout) == image::BmpReader::kRows) {
    LoadedPlan result = ReadRows(fd, path, layout, file_size, progress);
    ::close(fd);
    return result;
  }
  return ReadThroughQt(fd, path);  // takes the descriptor
}

std::string CannotLoadText(const std::string& path, int error) {
  return "Cannot load " + path + " Error (" + std::to_string(error) + ")";
}

}  // namespace velkaro
