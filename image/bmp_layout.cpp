#include "image/bmp_layout.h"

#include "platform/byte_order.h"

#include <bit>
#include <string>

namespace velkaro::image {
namespace {

constexpr uint32_t kFileHeaderSize = kBmpFileHeaderBytes;
constexpr uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit sides, 3-byte palette entries

bool MakeChannel(uint32_t mask, BmpChannel& channel) {
  channel = BmpChannel{mask, 0, 0};
  if (mask == 0) return true;  // a missing channel reads as 0
  channel.shift = std::countr_zero(mask);
  channel.bits = std::popcount(mask);
  // Only one run of set bits makes a channel.
  return (mask >> channel.shift) == (channel.bits == 32 ? ~0u : (1u << channel.bits) - 1);
}

}  // namespace

bool IsWindowsBmpHeader(uint32_t size) {
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

Status ParseBmpLayout(std::span<const uint8_t> head, uint64_t file_size, BmpLayout& layout) {
  layout = BmpLayout{};
  if (head.size() < kFileHeaderSize + 4 || head[0] != 'B' || head[1] != 'M')
    return Status::Invalid("not a BMP file (no BM signature)");
  const uint32_t offset = LoadLe32(head.data() + 10);
  const uint32_t header_size = LoadLe32(head.data() + kFileHeaderSize);
  const uint8_t* info = head.data() + kFileHeaderSize;
  if (header_size != kCoreHeaderSize && !(header_size >= 16 && header_size <= 64) &&
      !IsWindowsBmpHeader(header_size))
    return Status::Invalid("unknown BMP header size " + std::to_string(header_size));
  if (kFileHeaderSize + header_size > head.size())
    return Status::Invalid("the BMP header is cut short");

  layout.header_size = header_size;
  uint32_t compression = 0, colours_used = 0;
  int64_t height = 0;
  unsigned planes = 0;
  if (header_size == kCoreHeaderSize) {
    layout.width = LoadLe16(info + 4);
    height = LoadLe16(info + 6);
    planes = LoadLe16(info + 8);
    layout.bits_per_pixel = LoadLe16(info + 10);
  } else {
    layout.width = static_cast<int32_t>(LoadLe32(info + 4));
    height = static_cast<int32_t>(LoadLe32(info + 8));
    planes = LoadLe16(info + 12);
    layout.bits_per_pixel = LoadLe16(info + 14);
    if (header_size >= 20) compression = LoadLe32(info + 16);
    if (header_size >= 36) colours_used = LoadLe32(info + 32);
  }
  layout.colours_used = colours_used;
  if (planes != 1) return Status::Invalid("the BMP plane count is not 1");
  layout.top_down = height < 0;
  if (height < 0) height = -height;
  if (layout.width <= 0 || height <= 0 || layout.width > kBmpMaxSide || height > kBmpMaxSide)
    return Status::Invalid("the BMP size " + std::to_string(layout.width) + " x " +
                           std::to_string(height) + " is not a plan's");
  layout.height = static_cast<int32_t>(height);

  const int bits = layout.bits_per_pixel;
  const bool windows = IsWindowsBmpHeader(header_size);
  bool masked = false;
  uint32_t mask_bytes = 0;  // masks stored after a 40-byte header
  if (compression == 1 && bits == 8) {
    layout.coding = BmpCoding::kRle8;
  } else if (compression == 2 && bits == 4) {
    layout.coding = BmpCoding::kRle4;
  } else if (windows && (compression == 3 || compression == 6) && (bits == 16 || bits == 32)) {
    masked = true;
    if (header_size == kBmpWindowsInfoHeaderBytes) mask_bytes = compression == 6 ? 16 : 12;
  } else if (compression != 0) {
    return Status::Unsupported("BMP compression " + std::to_string(compression) + " at " +
                               std::to_string(bits) + " bits per pixel is not supported");
  } else if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 &&
             bits != 32) {
    return Status::Unsupported("BMP pixels of " + std::to_string(bits) + " bits are not supported");
  }
  if (layout.coding != BmpCoding::kRaw && layout.top_down)
    return Status::Invalid("a run-length coded BMP cannot be stored top-down");

  const uint64_t palette_start = kFileHeaderSize + header_size + mask_bytes;
  if (palette_start > head.size()) return Status::Invalid("the BMP colour masks are cut short");
  if (offset < palette_start || offset >= file_size)
    return Status::Invalid("the BMP pixel data offset " + std::to_string(offset) +
                           " is outside the file");

  if (bits == 16 || bits == 32) {
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (masked) {
      for (int c = 0; c < 3; ++c) masks[c] = LoadLe32(info + 40 + 4 * c);
    }
    for (int c = 0; c < 3; ++c) {
      if ((bits == 16 && masks[c] > 0xFFFF) || !MakeChannel(masks[c], layout.channels[c]))
        return Status::Invalid("the BMP colour masks are not usable");
    }
  } else if (bits <= 8) {
    const uint32_t entry = header_size == kCoreHeaderSize ? 3 : 4;
    uint64_t count = 1u << bits;
    if (colours_used != 0 && colours_used < count) count = colours_used;
    // The palette ends where the pixels begin, whatever the header says.
    if ((offset - palette_start) / entry < count) count = (offset - palette_start) / entry;
    if (palette_start + count * entry > head.size())
      return Status::Invalid("the BMP palette is cut short");
    for (uint64_t i = 0; i < count; ++i) {
      const uint8_t* bgr = head.data() + palette_start + i * entry;
      layout.palette[i] = {bgr[2], bgr[1], bgr[0]};
    }
  }

  layout.pixel_offset = offset;
  layout.stride = (uint64_t{static_cast<uint32_t>(layout.width)} * bits + 31) / 32 * 4;
  if (layout.coding == BmpCoding::kRaw &&
      (file_size - offset) / layout.stride < static_cast<uint64_t>(layout.height))
    return Status::Invalid("the BMP file ends before its last row");
  return Status::Ok();
}

}  // namespace velkaro::image
