#include "tests/support/literal_huffman.h"

namespace velkaro::testing {
namespace {

struct Node {
  int left = -1, right = -1, parent = -1;
  bool leaf = false;
  uint8_t symbol = 0;
};

struct Tree {
  Node nodes[513];
  uint32_t weights[513] = {};
  bool active[513] = {};
  int root = -1;
};

void Build(Tree& t, const uint32_t* counts) {
  for (int i = 0; i < 256; ++i) {
    t.active[i] = true;
    t.nodes[i].leaf = true;
    t.nodes[i].symbol = static_cast<uint8_t>(i);
    t.weights[i] = counts[i];
  }
  int i = 256;
  for (;;) {
    int a = -1, d = -1;
    uint32_t wa = 0, wd = 0;
    int seen = 0;
    for (int k = 0; k < 512; ++k) {
      if (!t.active[k]) continue;
      const uint32_t w = t.weights[k];
      if (seen == 0) {
        a = k;
        wa = w;
      } else if (seen == 1) {
        if (w < wa) {
          d = a;
          wd = wa;
          a = k;
          wa = w;
        } else {
          d = k;
          wd = w;
        }
      } else if (w < wa) {
        d = a;
        wd = wa;
        a = k;
        wa = w;
      } else if (w < wd) {
        d = k;
        wd = w;
      }
      ++seen;
    }
    if (seen < 2) {
      t.root = i - 1;
      return;
    }
    t.nodes[a].parent = i;
    t.nodes[d].parent = i;
    t.nodes[i].left = a < d ? a : d;
    t.nodes[i].right = a < d ? d : a;
    t.weights[i] = wa + wd;
    t.active[a] = t.active[d] = false;
    t.active[i] = true;
    ++i;
  }
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) out[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

uint32_t Get32(std::span<const uint8_t> in, size_t at) {
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(in[at + k]) << (8 * k);
  return v;
}

}  // namespace

std::vector<int> LiteralCodeLengths(const uint32_t (&counts)[256]) {
  Tree t;
  Build(t, counts);
  std::vector<int> lengths(256);
  for (int s = 0; s < 256; ++s) {
    for (int n = s; t.nodes[n].parent != -1; n = t.nodes[n].parent) ++lengths[s];
  }
  return lengths;
}

std::vector<uint8_t> LiteralCompress(std::span<const uint8_t> source) {
  uint32_t counts[256] = {};
  for (uint8_t b : source) ++counts[b];
  Tree t;
  Build(t, counts);

  std::vector<uint8_t> out(1032);
  for (int s = 0; s < 256; ++s) Put32(out, 8 + 4 * s, counts[s]);
  uint8_t current = 0;
  int bit = 0;
  uint32_t written = 0;
  for (uint8_t b : source) {
    int path[600];
    int depth = 0;
    for (int n = b; t.nodes[n].parent != -1; n = t.nodes[n].parent)
      path[depth++] = t.nodes[t.nodes[n].parent].right == n ? 1 : 0;
    while (depth > 0) {
      if (path[--depth]) current |= static_cast<uint8_t>(1u << bit);
      if (++bit == 8) {
        out.push_back(current);
        ++written;
        current = 0;
        bit = 0;
      }
    }
  }
  if (bit > 0) {
    out.push_back(current);
    ++written;
  }
  Put32(out, 0, written);
  Put32(out, 4, static_cast<uint32_t>(source.size()));
  return out;
}

std::optional<std::vector<uint8_t>> LiteralDecompress(std::span<const uint8_t> block) {
  if (block.size() < 1032) return std::nullopt;
  const uint32_t n = Get32(block, 0);
  const uint32_t l = Get32(block, 4);
  uint32_t counts[256];
  for (int s = 0; s < 256; ++s) counts[s] = Get32(block, 8 + 4 * s);
  Tree t;
  Build(t, counts);

  std::vector<uint8_t> out;
  const uint64_t available = block.size() - 1032;
  const uint64_t code_bytes = n < available ? n : available;
  int node = t.root;
  for (uint64_t i = 0; i < code_bytes && out.size() < l; ++i) {
    const uint8_t byte = block[1032 + i];
    for (int bit = 0; bit < 8 && out.size() < l; ++bit) {
      node = (byte >> bit) & 1 ? t.nodes[node].right : t.nodes[node].left;
      if (t.nodes[node].leaf) {
        out.push_back(t.nodes[node].symbol);
        node = t.root;
      }
    }
  }
  return out;
}

}  // namespace velkaro::testing
