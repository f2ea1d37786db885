#include "compression/huffman_tree.h"

namespace velkaro {

CNode::CNode() : m_left(-1), m_right(-1), m_parent(-1), m_leaf(0), m_symbol(0), m_weight(0) {}
CNode::~CNode() = default;

int16_t BuildHuffmanTree(uint32_t (&weights)[kTreeNodes], uint8_t (&active)[kTreeNodes],
                         CNode (&nodes)[kTreeNodes]) {
  for (int i = 0; i < kTreeNodes; ++i) {
    nodes[i].m_left = nodes[i].m_right = nodes[i].m_parent = -1;
    nodes[i].m_leaf = i < 256 ? 1 : 0;
    nodes[i].m_symbol = static_cast<uint8_t>(i < 256 ? i : 0);
    if (i >= 256) weights[i] = 0;
    nodes[i].m_weight = weights[i];
    active[i] = i < 256 ? 1 : 0;
  }

  // The active nodes in ascending index order. A merge removes two entries
  // and appends the new node, which has the highest index so far, so the
  // list stays sorted and a scan of it visits nodes exactly as a scan of all
  // indices would. Strict comparisons keep the lower index among equals.
  int16_t live[256];
  for (int i = 0; i < 256; ++i) live[i] = static_cast<int16_t>(i);
  int live_count = 256;

  int next = 256;
  while (live_count >= 2) {
    int a = 0;  // positions in `live` of the smallest and second smallest
    int d = 1;
    if (weights[live[1]] < weights[live[0]]) {
      a = 1;
      d = 0;
    }
    for (int k = 2; k < live_count; ++k) {
      const uint32_t w = weights[live[k]];
      if (w < weights[live[a]]) {
        d = a;
        a = k;
      } else if (w < weights[live[d]]) {
        d = k;
      }
    }
    const int16_t ia = live[a];
    const int16_t id = live[d];
    const int16_t lo = ia < id ? ia : id;
    const int16_t hi = ia < id ? id : ia;
    CNode& node = nodes[next];
    node.m_left = lo;
    node.m_right = hi;
    weights[next] = weights[ia] + weights[id];  // wraps by design
    node.m_weight = weights[next];
    nodes[ia].m_parent = nodes[id].m_parent = static_cast<int16_t>(next);
    active[ia] = active[id] = 0;
    active[next] = 1;

    // Drop positions a and d, keep the order, append the new node.
    int out = 0;
    for (int k = 0; k < live_count; ++k) {
      if (k != a && k != d) live[out++] = live[k];
    }
    live[out++] = static_cast<int16_t>(next);
    live_count = out;
    ++next;
  }
  return static_cast<int16_t>(next - 1);
}

void ComputeCodes(const CNode (&nodes)[kTreeNodes], int16_t root, HuffmanCode (&codes)[256]) {
  // Walk down from the root once, carrying the code so far, rather than up
  // from every leaf: each inner node is visited once.
  struct Pending {
    int16_t node;
    uint8_t depth;
    HuffmanCode code;
  };
  Pending stack[kMaxCodeBits + 2];
  int top = 0;
  stack[top++] = {root, 0, {}};
  while (top > 0) {
    const Pending p = stack[--top];
    const CNode& n = nodes[p.node];
    if (n.m_leaf) {
      codes[n.m_symbol] = p.code;
      codes[n.m_symbol].length = p.depth;
      continue;
    }
    Pending left = {n.m_left, static_cast<uint8_t>(p.depth + 1), p.code};
    Pending right = left;
    right.node = n.m_right;
    right.code.words[p.depth / 64] |= uint64_t{1} << (p.depth % 64);
    stack[top++] = right;
    stack[top++] = left;
  }
}

}  // namespace velkaro
