#include "image/bmp_reader_choice.h"

namespace velkaro::image {
namespace {

// The oldest OS/2 header. The general reader takes a short palette in such
// a file from whatever memory follows it, so a pixel's colour changed from
// load to load; the row reader ends the palette where the pixels begin and
// shows the missing entries black.
constexpr uint32_t kOs2CoreHeader = 12;

bool IsByteChannel(const BmpChannel& channel, uint32_t mask) {
  return channel.mask == mask && channel.bits == 8;
}

}  // namespace

// The row reader takes 1-, 4-, 8- and 24-bit files and 32-bit ones with
// plain byte channels, with a Windows header. Run-length coded ones too:
// the general reader leaves the pixels such a file never codes (cut short,
// or skipped by a delta) unset, so the same file showed different garbage
// from load to load, where the row reader gives them palette entry 0.
// Everything else (later OS/2 headers, which the general reader refuses;
// palettes longer than the depth allows, likewise; 2- and 16-bit pixels,
// odd masks) stays with the general reader.
BmpReader ChooseBmpReader(const BmpLayout& layout) {
  const int bits = layout.bits_per_pixel;
  if (layout.header_size == kOs2CoreHeader)
    return bits <= 8 || bits == 24 ? BmpReader::kRows : BmpReader::kGeneral;
  if (!IsWindowsBmpHeader(layout.header_size)) return BmpReader::kGeneral;
  if (bits <= 8 && layout.colours_used > (1u << bits)) return BmpReader::kGeneral;
  switch (bits) {
    case 1:
    case 4:
    case 8:
    case 24:
      return BmpReader::kRows;
    case 32:
      return IsByteChannel(layout.channels[0], 0xff0000) &&
                     IsByteChannel(layout.channels[1], 0xff00) &&
                     IsByteChannel(layout.channels[2], 0xff)
                 ? BmpReader::kRows
                 : BmpReader::kGeneral;
    default:
      return BmpReader::kGeneral;
  }
}

}  // namespace velkaro::image
