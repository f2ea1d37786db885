#include "compression/byte_counts.h"

#include "compression/compressed_block_format.h"
#include "platform/byte_order.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velkaro {
namespace {

// Counts every byte value. Eight tables keep a stretch of one value from
// making each increment wait on the last. Flat areas of a plan repeat every
// 24 bytes (eight pixels of 3 bytes), so a stretch equal to the 24 bytes
// before it is not counted byte by byte: the repetitions are counted and
// added to those 24 bytes' values once. Looking for repetition costs a photo
// or a scan a quarter of the count, so after 24 bytes that repeated nothing
// the next kPlainBytes are counted without looking.
bool Equal24(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, 24) == 0; }

constexpr size_t kPlainBytes = 8 * 24;

// Counts whole 8-byte words of p[i..end), one load per word; returns where it stopped.
size_t CountWords(const uint8_t* p, size_t i, size_t end, uint64_t (&part)[8][256]) {
  for (; i + 8 <= end; i += 8) {
    const uint64_t w = LoadLe64(p + i);
    ++part[0][w & 0xFF];
    ++part[1][(w >> 8) & 0xFF];
    ++part[2][(w >> 16) & 0xFF];
    ++part[3][(w >> 24) & 0xFF];
    ++part[4][(w >> 32) & 0xFF];
    ++part[5][(w >> 40) & 0xFF];
    ++part[6][(w >> 48) & 0xFF];
    ++part[7][w >> 56];
  }
  return i;
}

void CountInto(const uint8_t* p, size_t n, uint64_t (&part)[8][256]) {
  constexpr size_t kChunk = 24;
  constexpr uint64_t kBroadcast = 0x0101010101010101u;
  // Words of eight equal bytes (white or black between the marks of a plan)
  // add to a run kept in registers.
  uint8_t run_value = 0;
  uint64_t run_length = 0;
  size_t i = 0;
  while (i + kChunk <= n) {
    if (i >= kChunk && Equal24(p + i, p + i - kChunk)) {
      const uint8_t* const model = p + i - kChunk;
      size_t j = i + kChunk;
      while (j + kChunk <= n && Equal24(p + j, model)) j += kChunk;
      const uint64_t repeats = (j - i) / kChunk;
      for (size_t k = 0; k < kChunk; ++k) part[k & 7][model[k]] += repeats;
      i = j;
      continue;
    }
    bool shortcut = false;
    for (size_t w = 0; w < kChunk; w += 8) {
      const uint8_t* const q = p + i + w;
      const uint64_t word = LoadLe64(q);
      if (word == q[0] * kBroadcast) {
        if (q[0] != run_value) {
          part[0][run_value] += run_length;
          run_value = q[0];
          run_length = 0;
        }
        run_length += 8;
        shortcut = true;
        continue;
      }
      for (int k = 0; k < 8; ++k) ++part[k][q[k]];
    }
    i += kChunk;
    if (!shortcut) i = CountWords(p, i, std::min(n, i + kPlainBytes), part);
  }
  part[0][run_value] += run_length;
  for (; i < n; ++i) ++part[0][p[i]];
}

}  // namespace

bool CountBytes(Input& in, uint64_t (&counts)[256], uint64_t& total) {
  std::vector<uint8_t> buf(in.BufferSize());
  uint64_t part[8][256] = {};
  total = 0;
  for (;;) {
    const size_t got = in.Read(buf.data(), buf.size());
    if (in.error) return false;
    CountInto(buf.data(), got, part);
    total += got;
    if (total > block::kMaxSourceLength || got < buf.size()) break;
  }
  for (int s = 0; s < 256; ++s) {
    counts[s] = 0;
    for (int k = 0; k < 8; ++k) counts[s] += part[k][s];
  }
  return true;
}

void CountBlock(const uint8_t* p, size_t n, uint32_t (&counts)[256]) {
  std::fill(std::begin(counts), std::end(counts), 0);
  // A short block costs less than clearing and adding up the eight tables.
  if (n < 4096) {
    for (size_t i = 0; i < n; ++i) ++counts[p[i]];
    return;
  }
  uint64_t part[8][256] = {};
  CountInto(p, n, part);
  for (int s = 0; s < 256; ++s) {
    uint64_t sum = 0;
    for (int k = 0; k < 8; ++k) sum += part[k][s];
    counts[s] = static_cast<uint32_t>(sum);
  }
}

}  // namespace velkaro
