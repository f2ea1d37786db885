#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace velkaro {

// Opens a file for reading only when it is a regular file. The open never
// waits: it is made without blocking, so a FIFO with no writer or a device
// waiting for a carrier cannot freeze the caller, and anything that is not a
// regular file is refused at once.
//
// Returns the descriptor (close-on-exec, in blocking mode), or -1 with
// `*error` set to an errno value: the open's own, EISDIR for a folder, EACCES
// for a FIFO, device or socket.
int OpenRegularFile(const std::string& path, int* error);

// The same as a stdio stream opened "rb"; null with `*error` set on failure.
std::FILE* OpenRegularStream(const std::string& path, int* error);

// For writers, before they create anything: 0 when nothing stands at `path`
// or a regular file does, else the errno value a reader would get (EISDIR,
// EACCES) or the one stat reported.
int CheckRegularTarget(const std::string& path);

// Up to n bytes at `offset` of the file open on `fd`, read again after an
// interruption or a short read: the bytes read, fewer only at the end of
// the file or on an error (then `*error` is its errno).
size_t ReadFileAt(int fd, uint64_t offset, uint8_t* p, size_t n, int* error);

}  // namespace velkaro
