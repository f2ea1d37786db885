#include "tests/support/jpeg_reader.h"

#include "tests/support/temp_folder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <jpeglib.h>

namespace velkaro::testing {

namespace {

struct ReadErrors {
  jpeg_error_mgr pub;
  std::jmp_buf recovery;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ReadErrorExit(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ReadErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->recovery, 1);
}

// C-style for the same reason as the writer: the jump must not skip a
// destructor, so nothing here owns anything; it fills the caller's buffers.
bool Decode(jpeg_decompress_struct* cinfo, ReadErrors* errors, std::FILE* file,
            std::vector<unsigned char>* rgb, QuantTable* tables, int* table_count) {
  cinfo->err = jpeg_std_error(&errors->pub);
  errors->pub.error_exit = ReadErrorExit;
  errors->message[0] = '\0';
  if (setjmp(errors->recovery) != 0) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_stdio_src(cinfo, file);
  jpeg_read_header(cinfo, TRUE);
  *table_count = 0;
  for (int c = 0; c < cinfo->num_components && c < 4; ++c) {
    const JQUANT_TBL* table = cinfo->quant_tbl_ptrs[cinfo->comp_info[c].quant_tbl_no];
    if (table == nullptr) continue;
    for (int k = 0; k < 64; ++k) tables[*table_count][k] = table->quantval[k];
    ++*table_count;
  }
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  const std::size_t row_bytes = std::size_t{cinfo->output_width} * 3;
  rgb->resize(row_bytes * cinfo->output_height);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = rgb->data() + std::size_t{cinfo->output_scanline} * row_bytes;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

std::vector<int> FrameMarkers(const std::vector<unsigned char>& bytes) {
  std::vector<int> markers;
  std::size_t i = 2;  // after SOI
  while (i + 4 <= bytes.size() && bytes[i] == 0xFF) {
    const int marker = bytes[i + 1];
    if (marker == 0xDA) break;  // start of scan: entropy-coded data follows
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      markers.push_back(marker);
    i += 2 + ((std::size_t{bytes[i + 2]} << 8) | bytes[i + 3]);
  }
  return markers;
}

}  // namespace

std::optional<DecodedJpeg> ReadJpeg(const std::filesystem::path& path, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot open " + path.string();
    return std::nullopt;
  }
  DecodedJpeg out;
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  ReadErrors errors;
  QuantTable tables[4];
  int table_count = 0;
  const bool ok = Decode(&cinfo, &errors, file, &out.rgb, tables, &table_count);
  std::fclose(file);
  if (!ok) {
    *error = errors.message;
    return std::nullopt;
  }
  out.width = static_cast<int>(cinfo.image_width);
  out.height = static_cast<int>(cinfo.image_height);
  out.components = cinfo.num_components;
  out.tables.assign(tables, tables + table_count);
  out.frame_markers = FrameMarkers(ReadAll(path));
  return out;
}

std::vector<QuantTable> ReferenceTables(int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  cinfo.in_color_space = JCS_RGB;
  cinfo.input_components = 3;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  std::vector<QuantTable> tables(2);
  for (int t = 0; t < 2; ++t)
    for (int k = 0; k < 64; ++k) tables[t][k] = cinfo.quant_tbl_ptrs[t]->quantval[k];
  jpeg_destroy_compress(&cinfo);
  return tables;
}

std::string LibraryMessage(int code, int parameter) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  errors.msg_code = code;
  errors.msg_parm.i[0] = parameter;
  char text[JMSG_LENGTH_MAX];
  (*errors.format_message)(reinterpret_cast<j_common_ptr>(&cinfo), text);
  return text;
}

int OpenDescriptorCount() {
  return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                           std::filesystem::directory_iterator()));
}

}  // namespace velkaro::testing
