// The snapshot's JPEG encoder: a thin layer over the libjpeg 6b compression
// API that turns every library failure into a false return and a message
// instead of the library's default "print and exit the process".
//
// Thread safety: g_strJpegError is one process-wide text, so these functions
// are for one thread at a time (the UI thread runs the snapshot command).
#ifndef VELKARO_SNAPSHOT_JPEG_WRITER_H_
#define VELKARO_SNAPSHOT_JPEG_WRITER_H_

#include <cstddef>
#include <span>
#include <string>

namespace velkaro {

// The last message WriteJpeg recorded: the open-failure message, the library's
// own text of a fatal error (or of a warning), or empty after a clean
// encoding. Empty at start.
extern std::string g_strJpegError;

// The open-failure message format: "Can't open file" followed directly by the
// path in double quotes. "%s" stands for the path.
extern const std::string g_strOpenFailFormat;

// Writes a baseline JPEG of width x height RGB pixels at the given quality
// (0 to 100; libjpeg clamps outside values) to path, replacing any file there.
//
// The capture buffer is bottom-up: picture row t is read from
// pixels + (height - t) * width * 3, so picture row 0 is the buffer's row
// `height` and the last picture row is buffer row 1; buffer row 0 (the lowest
// row of the window) is not in the picture. Rows are width * 3 bytes, with no
// padding, each pixel red, green, blue.
//
// REQUIRES: when width and height are positive, pixels points to at least
// (height + 1) * width * 3 readable bytes. Width or height of 0 (or beyond
// libjpeg's 65500) is refused by the library as a fatal error before any
// pixel is read.
//
// Returns true when the whole file was written and closed. Returns false when
// the file cannot be opened (g_strJpegError holds the open-failure message
// naming path) or when libjpeg fails (g_strJpegError holds the library's
// message; the file at path is left as it was). Nothing leaks either way.
bool WriteJpeg(const std::string& path, int width, int height, int quality,
               const unsigned char* pixels);

// As WriteJpeg, but refuses a buffer smaller than (height + 1) * width * 3
// bytes before touching the file, so it never reads outside `pixels`.
bool WriteJpeg(const std::string& path, int width, int height, int quality,
               std::span<const unsigned char> pixels);

// The size in bytes of the bottom-up capture buffer WriteJpeg reads for a
// picture of width x height: (height + 1) rows of width * 3 bytes. Zero when
// either side is not positive.
std::size_t JpegCaptureBytes(int width, int height);

// A copy of g_strJpegError.
std::string GetJpegError();

}  // namespace velkaro

#endif  // VELKARO_SNAPSHOT_JPEG_WRITER_H_
