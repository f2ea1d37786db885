#include "gis/jpeg_rows.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace velkaro::gis {
namespace {

constexpr size_t kOutputChunk = 64 * 1024;

// Everything the libjpeg callbacks and the encoding loop share, reached from
// libjpeg through client_data. It lives in WriteJpegRows's frame, outside the
// one that calls setjmp, so a longjmp out of libjpeg skips no destructor.
struct Encoder {
  jpeg_error_mgr errors;
  jpeg_destination_mgr destination;
  std::jmp_buf recovery;
  char message[JMSG_LENGTH_MAX] = "";
  VSILFILE* out = nullptr;
  BmpRows* plan = nullptr;
  std::vector<JOCTET> chunk;
  std::vector<uint8_t> row;
  std::string row_error;  // set by FetchRow, never inside libjpeg
};

Encoder* EncoderOf(j_common_ptr cinfo) { return static_cast<Encoder*>(cinfo->client_data); }

void KeepMessage(j_common_ptr cinfo) {
  (*cinfo->err->format_message)(cinfo, EncoderOf(cinfo)->message);
}

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(EncoderOf(cinfo)->recovery, 1);
}

void StartChunk(j_compress_ptr cinfo) {
  Encoder* encoder = EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  cinfo->dest->next_output_byte = encoder->chunk.data();
  cinfo->dest->free_in_buffer = encoder->chunk.size();
}

bool WriteOut(j_compress_ptr cinfo, size_t length) {
  Encoder* encoder = EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  return VSIFWriteL(encoder->chunk.data(), 1, length, encoder->out) == length;
}

boolean EmptyChunk(j_compress_ptr cinfo) {
  if (!WriteOut(cinfo, kOutputChunk)) ERREXIT(cinfo, JERR_FILE_WRITE);
  StartChunk(cinfo);
  return TRUE;
}

void FinishChunks(j_compress_ptr cinfo) {
  if (!WriteOut(cinfo, kOutputChunk - cinfo->dest->free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// One plan row into encoder->row; false (with row_error set) when it cannot
// be read. Its temporaries are gone before libjpeg runs again.
bool FetchRow(Encoder* encoder, int32_t row) {
  encoder->row_error = encoder->plan->ReadRow(row, encoder->row.data());
  return encoder->row_error.empty();
}

// The libjpeg part, kept C-style: a longjmp from JumpBack lands on the setjmp
// below and crosses only libjpeg's frames and this one, which holds no object
// with a destructor and changes no local between setjmp and the jump.
bool Encode(jpeg_compress_struct* cinfo, Encoder* encoder, int quality) {
  cinfo->client_data = encoder;
  cinfo->err = jpeg_std_error(&encoder->errors);
  encoder->errors.error_exit = JumpBack;
  encoder->errors.output_message = KeepMessage;
  if (setjmp(encoder->recovery) != 0) {
    jpeg_destroy_compress(cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  encoder->destination.init_destination = StartChunk;
  encoder->destination.empty_output_buffer = EmptyChunk;
  encoder->destination.term_destination = FinishChunks;
  cinfo->dest = &encoder->destination;
  cinfo->image_width = static_cast<JDIMENSION>(encoder->plan->width());
  cinfo->image_height = static_cast<JDIMENSION>(encoder->plan->height());
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE /* force baseline tables */);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    if (!FetchRow(encoder, static_cast<int32_t>(cinfo->next_scanline))) {
      jpeg_destroy_compress(cinfo);
      return false;
    }
    JSAMPROW row = encoder->row.data();
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

JpegOutcome WriteJpegRows(BmpRows& plan, int quality, VSILFILE* out) {
  Encoder encoder;
  encoder.out = out;
  encoder.plan = &plan;
  encoder.chunk.resize(kOutputChunk);
  encoder.row.resize(3 * static_cast<size_t>(plan.width()));
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  if (Encode(&cinfo, &encoder, quality)) return {};
  if (!encoder.row_error.empty()) return JpegOutcome{encoder.row_error, {}};
  return JpegOutcome{{}, encoder.message};
}

}  // namespace velkaro::gis
