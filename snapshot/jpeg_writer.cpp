#include "snapshot/jpeg_writer.h"

#include "platform/atomic_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace velkaro {

std::string g_strJpegError;
const std::string g_strOpenFailFormat = "Can't open file\"%s\"";

namespace {

// libjpeg reports through its error manager and, left alone, prints the
// message and exits the process. Ours keeps the message and jumps back to the
// recovery point in EncodeRows instead.
//
// The message lives in a plain buffer while the library runs: the callbacks
// run inside libjpeg's C frames, where nothing may throw and nothing with a
// destructor may be left behind by the jump. WriteJpeg copies the buffer into
// g_strJpegError once the library has returned.
struct ErrorManager {
  jpeg_error_mgr pub;  // first member: the library's err pointer points here
  std::jmp_buf recovery;
  char message[JMSG_LENGTH_MAX];
};

ErrorManager* ManagerOf(j_common_ptr cinfo) { return reinterpret_cast<ErrorManager*>(cinfo->err); }

void OutputMessage(j_common_ptr cinfo) {
  (*cinfo->err->format_message)(cinfo, ManagerOf(cinfo)->message);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(ManagerOf(cinfo)->recovery, 1);
}

// jpeg_start_compress calls this, so every encoding starts with no message.
void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
  ManagerOf(cinfo)->message[0] = '\0';
}

// The libjpeg part, kept C-style: the longjmp from ErrorExit lands on the
// setjmp below and crosses only libjpeg's frames and this one, none of which
// holds an object with a destructor. cinfo and mgr belong to the caller, so no
// local of this frame is changed between setjmp and the jump.
bool EncodeRows(jpeg_compress_struct* cinfo, ErrorManager* mgr, std::FILE* file, int width,
                int height, int quality, const unsigned char* pixels) {
  cinfo->err = jpeg_std_error(&mgr->pub);
  mgr->pub.error_exit = ErrorExit;
  mgr->pub.output_message = OutputMessage;
  mgr->pub.reset_error_mgr = ResetErrorManager;
  mgr->message[0] = '\0';

  if (setjmp(mgr->recovery) != 0) {
    jpeg_destroy_compress(cinfo);
    return false;
  }

  jpeg_create_compress(cinfo);
  jpeg_stdio_dest(cinfo, file);
  // A negative side becomes a huge unsigned one, which jpeg_start_compress
  // refuses before any row is read.
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE /* force baseline tables */);
  jpeg_start_compress(cinfo, TRUE /* write all tables */);

  // The capture is bottom-up and one row taller than the picture: picture
  // row t is buffer row (height - t).
  const std::size_t row_bytes = std::size_t{cinfo->image_width} * 3;
  while (cinfo->next_scanline < cinfo->image_height) {
    const std::size_t buffer_row = std::size_t{cinfo->image_height} - cinfo->next_scanline;
    // libjpeg only reads the rows it is given; its API is just not const.
    JSAMPROW row = const_cast<JSAMPROW>(pixels + buffer_row * row_bytes);
    jpeg_write_scanlines(cinfo, &row, 1);
  }

  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

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

  // Both are plain C structs without destructors; EncodeRows fills them in.
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  ErrorManager mgr;
  bool written = EncodeRows(&cinfo, &mgr, file, width, height, quality, pixels);

  // The library has flushed the stream and checked it; a failing commit
  // (flush, sync, rename) is still a file that may not be whole, so it is
  // reported in the library's own words for a write failure.
  if (written && out.Commit() != FileErrorCause::kNone) {
    mgr.pub.msg_code = JERR_FILE_WRITE;
    (*mgr.pub.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), mgr.message);
    written = false;
  }
  g_strJpegError = mgr.message;
  return written;
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
