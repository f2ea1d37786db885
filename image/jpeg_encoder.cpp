#include "image/jpeg_encoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace velkaro::image {
namespace {

constexpr size_t kOutputChunk = 64 * 1024;

// Everything the libjpeg callbacks and the encoding loop share, reached from
// libjpeg through client_data. It lives in EncodeJpeg's frame, outside the
// one that calls setjmp, so a longjmp out of libjpeg skips no destructor.
struct Encoder {
  jpeg_error_mgr errors;
  jpeg_destination_mgr destination;
  std::jmp_buf recovery;
  char message[JMSG_LENGTH_MAX] = "";
  JpegRowSource* rows = nullptr;
  JpegByteSink* out = nullptr;
  std::vector<JOCTET> chunk;
  bool stopped_by_source = false;
};

Encoder* EncoderOf(j_common_ptr cinfo) { return static_cast<Encoder*>(cinfo->client_data); }
Encoder* EncoderOf(j_compress_ptr cinfo) {
  return EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
}

void KeepMessage(j_common_ptr cinfo) {
  (*cinfo->err->format_message)(cinfo, EncoderOf(cinfo)->message);
}

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(EncoderOf(cinfo)->recovery, 1);
}

// jpeg_start_compress calls this, so every encoding starts with no message.
void ResetErrors(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
  EncoderOf(cinfo)->message[0] = '\0';
}

void StartChunk(j_compress_ptr cinfo) {
  Encoder* encoder = EncoderOf(cinfo);
  cinfo->dest->next_output_byte = encoder->chunk.data();
  cinfo->dest->free_in_buffer = encoder->chunk.size();
}

void WriteOut(j_compress_ptr cinfo, size_t length) {
  Encoder* encoder = EncoderOf(cinfo);
  if (!encoder->out->Write(encoder->chunk.data(), length)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

boolean EmptyChunk(j_compress_ptr cinfo) {
  WriteOut(cinfo, kOutputChunk);
  StartChunk(cinfo);
  return TRUE;
}

void FinishChunks(j_compress_ptr cinfo) {
  WriteOut(cinfo, kOutputChunk - cinfo->dest->free_in_buffer);
  if (!EncoderOf(cinfo)->out->Finish()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// The libjpeg part, kept C-style: a longjmp from JumpBack lands on the setjmp
// below and crosses only libjpeg's frames and this one, which holds no object
// with a destructor and changes no local between setjmp and the jump.
bool Encode(jpeg_compress_struct* cinfo, Encoder* encoder, int width, int height, int quality) {
  cinfo->client_data = encoder;
  cinfo->err = jpeg_std_error(&encoder->errors);
  encoder->errors.error_exit = JumpBack;
  encoder->errors.output_message = KeepMessage;
  encoder->errors.reset_error_mgr = ResetErrors;
  if (setjmp(encoder->recovery) != 0) {
    jpeg_destroy_compress(cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  encoder->destination.init_destination = StartChunk;
  encoder->destination.empty_output_buffer = EmptyChunk;
  encoder->destination.term_destination = FinishChunks;
  cinfo->dest = &encoder->destination;
  // A negative side becomes a huge unsigned one, which jpeg_start_compress
  // refuses before any row is asked for.
  cinfo->image_width = static_cast<JDIMENSION>(width);
  cinfo->image_height = static_cast<JDIMENSION>(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE /* force baseline tables */);
  jpeg_start_compress(cinfo, TRUE /* write all tables */);
  while (cinfo->next_scanline < cinfo->image_height) {
    const uint8_t* rgb = nullptr;
    if (!encoder->rows->Row(static_cast<int>(cinfo->next_scanline), rgb)) {
      encoder->stopped_by_source = true;
      jpeg_destroy_compress(cinfo);
      return false;
    }
    // libjpeg only reads the rows it is given; its API is just not const.
    JSAMPROW row = const_cast<JSAMPROW>(rgb);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

JpegEncoding EncodeJpeg(int width, int height, int quality, JpegRowSource& rows,
                        JpegByteSink& out) {
  Encoder encoder;
  encoder.rows = &rows;
  encoder.out = &out;
  encoder.chunk.resize(kOutputChunk);
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  JpegEncoding result;
  result.ok = Encode(&cinfo, &encoder, width, height, quality);
  result.stopped_by_source = encoder.stopped_by_source;
  result.message = encoder.message;
  return result;
}

std::string JpegWriteErrorText() {
  jpeg_error_mgr errors;
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&errors);
  errors.msg_code = JERR_FILE_WRITE;
  char text[JMSG_LENGTH_MAX] = "";
  (*errors.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), text);
  return text;
}

}  // namespace velkaro::image
