// Board bytes into parser and engine, twice: byte by byte as the worker's
// design has it, and through the block entry point in reads of sizes the
// input chooses. Both must yield the same frames, leave the parser in the
// same state and the engine with the same identity texts and GPS record.
#include "link/board_session.h"
#include "link/engine.h"
#include "link/frame_pump.h"
#include "link/parser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using velkaro::BoardLink;
using velkaro::CCom;
using velkaro::CEngine;
using velkaro::CGpsData;
using velkaro::CParser;

// The program's link objects, and what they did with the stream.
velkaro::SystemClock machine_clock;

struct Link : BoardLink {
  Link() : BoardLink(machine_clock) {}

  std::vector<uint8_t> frames;  // type, length, body of each frame, in order
  std::vector<uint8_t> sent;

  void OnFrame(uint8_t type, const uint8_t* body, uint32_t length) {
    frames.push_back(type);
    for (int shift = 24; shift >= 0; shift -= 8) frames.push_back(uint8_t(length >> shift));
    frames.insert(frames.end(), body, body + length);
    engine.HandleFrame(type, body, length);
    uint8_t out[CCom::kTxSize];
    uint32_t n = 0;
    if (com.TakeWrite(out, &n)) sent.insert(sent.end(), out, out + n);
  }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

bool BufferClean(const CParser& p) {
  for (uint32_t i = p.m_length; i < CParser::kBufferSize; ++i) {
    if (p.m_buffer[i] != 0) return false;
  }
  return true;
}

Link* by_byte = new Link;   // kept across runs: the parsers must stay in step
Link* by_block = new Link;  // whatever earlier inputs left behind

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the read size for the block side.
  const size_t read_size = 1 + data[0] % 64 * 37;
  ++data;
  --size;

  by_byte->frames.clear();
  by_block->frames.clear();
  by_byte->sent.clear();
  by_block->sent.clear();

  for (size_t i = 0; i < size; ++i) {
    CParser& p = by_byte->parser;
    p.Feed(data[i]);
    if (p.m_state == CParser::Idle) Check(p.m_length == 0);
    if (p.m_state == CParser::Complete) {
      Check(BufferClean(p));
      by_byte->OnFrame(p.m_type, p.m_buffer, p.m_length);
      p.Reset();
    }
  }
  for (size_t at = 0; at < size; at += read_size) {
    const size_t n = size - at < read_size ? size - at : read_size;
    velkaro::PumpBytes(by_block->parser, data + at, n,
                       [](uint8_t type, const uint8_t* body, uint32_t length) {
                         by_block->OnFrame(type, body, length);
                       });
  }

  const CParser& a = by_byte->parser;
  const CParser& b = by_block->parser;
  Check(by_byte->frames == by_block->frames);
  Check(by_byte->sent == by_block->sent);
  Check(a.m_state == b.m_state && a.m_length == b.m_length);
  Check(std::memcmp(a.m_buffer, b.m_buffer, CParser::kBufferSize) == 0);
  Check(a.m_type == b.m_type);
  Check(BufferClean(a));  // in Idle: the whole buffer

  char fa[CEngine::kFirmwareSize], fb[CEngine::kFirmwareSize];
  by_byte->engine.GetFirmware(fa);
  by_block->engine.GetFirmware(fb);
  Check(std::strcmp(fa, fb) == 0 && std::strlen(fa) < CEngine::kFirmwareSize);
  char sa[CEngine::kSerialSize], sb[CEngine::kSerialSize];
  by_byte->engine.GetSerial(sa);
  by_block->engine.GetSerial(sb);
  Check(std::strcmp(sa, sb) == 0 && std::strlen(sa) <= CEngine::kMaxSerialChars);

  const CGpsData ga = by_byte->gps.Read();
  const CGpsData gb = by_block->gps.Read();
  Check(std::memcmp(ga.m_raw, gb.m_raw, CGpsData::kPayloadSize) == 0);
  char la[CGpsData::kFixLineSize], lb[CGpsData::kFixLineSize];
  ga.FormatFix(la);
  gb.FormatFix(lb);
  Check(std::strcmp(la, lb) == 0);
  return 0;
}
