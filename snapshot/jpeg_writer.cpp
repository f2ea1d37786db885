#include "snapshot/jpeg_writer.h"

#include "image/jpeg_encoder.h"
#include "platform/atomic_file.h"

#include <cstdio>

namespace velkaro {

std::string g_strJpegError;
const std::string g_strOpenFailFormat = "Can't open file\"%s\"";

namespace {

// The capture is bottom-up and one row taller than the picture: picture row
// t is buffer row (height - t).
class CaptureRows : public image::JpegRowSource {
 public:
  CaptureRows(const unsigned char* pixels, int width, int height)
      : pixels_(pixels), row_bytes_(std::size_t(width > 0 ? width : 0) * 3), height_(height) {}
  bool Row(int row, const uint8_t*& rgb) override {
    rgb = pixels_ + std::size_t(height_ - row) * row_bytes_;
    return true;
  }

 private:
  const unsigned char* pixels_;
  std::size_t row_bytes_;
  int height_;
};

class StreamSink : public image::JpegByteSink {
 public:
  explicit StreamSink(std::FILE* file) : file_(file) {}
  bool Write(const uint8_t* bytes, size_t length) override {
    return std::fwrite(bytes, 1, length, file_) == length;
  }
  bool Finish() override { return std::fflush(file_) == 0 && !std::ferror(file_); }

 private:
  std::FILE* file_;
};

}  // namespace

std::size_t JpegCaptureBytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return (static_cast<std::size_t>(height) + 1) * static_cast<std::size_t>(width) * 3;
}

bool WriteJpeg(const std::string& path, int width, int height, int quality,
               const unsigned char* pixels) {
  // The picture is written all or nothing: a failed encoding leaves no
  // partial file, and an existing file is replaced only by a whole one.
  AtomicFile out(path);
  std::FILE* file = out.Open() == FileErrorCause::kNone ? out.Stream() : nullptr;
  if (file == nullptr) {
    std::string message = g_strOpenFailFormat;
    message.replace(message.find("%s"), 2, path);
    g_strJpegError = std::move(message);
    return false;
  }

  CaptureRows rows(pixels, width, height);
  StreamSink sink(file);
  image::JpegEncoding encoding = image::EncodeJpeg(width, height, quality, rows, sink);
  // The library has flushed the stream and checked it; a failing commit
  // (flush, sync, rename) is still a file that may not be whole, so it is
  // reported in the library's own words for a write failure.
  if (encoding.ok && out.Commit() != FileErrorCause::kNone) {
    encoding.ok = false;
    encoding.message = image::JpegWriteErrorText();
  }
  g_strJpegError = std::move(encoding.message);
  return encoding.ok;
}

bool WriteJpeg(const std::string& path, int width, int height, int quality,
               std::span<const unsigned char> pixels) {
  const std::size_t needed = JpegCaptureBytes(width, height);
  if (pixels.size() < needed) {
    g_strJpegError = "The capture is too small for a " + std::to_string(width) + " x " +
                     std::to_string(height) + " picture";
    return false;
  }
  return WriteJpeg(path, width, height, quality, pixels.data());
}

std::string GetJpegError() { return g_strJpegError; }

}  // namespace velkaro
