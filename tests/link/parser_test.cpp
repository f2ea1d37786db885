// The frame parser: which frames a byte stream yields, whatever the noise
// and however the reads split it, and that the buffer stays clean.
#include "link/parser.h"

#include "link/frame_pump.h"
#include "tests/support/frames.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::FrameOf;

struct Frame {
  uint8_t type;
  Bytes body;
  bool operator==(const Frame&) const = default;
};

void PrintTo(const Frame& f, std::ostream* os) {
  *os << "type " << int(f.type) << " body";
  for (uint8_t b : f.body) *os << ' ' << std::hex << int(b);
}

bool BufferClearFrom(const CParser& p, uint32_t from) {
  return std::all_of(p.m_buffer + from, p.m_buffer + CParser::kBufferSize,
                     [](uint8_t b) { return b == 0; });
}

// Feeds byte by byte as the worker does, checking the clean-buffer
// invariant after every byte.
std::vector<Frame> FramesByByte(CParser& p, const Bytes& in) {
  std::vector<Frame> frames;
  for (uint8_t b : in) {
    p.Feed(b);
    if (p.m_state == CParser::Idle) {
      EXPECT_EQ(p.m_length, 0u);
      EXPECT_TRUE(BufferClearFrom(p, 0));
    }
    if (p.m_state == CParser::Complete) {
      frames.push_back({p.m_type, Bytes(p.m_buffer, p.m_buffer + p.m_length)});
      EXPECT_TRUE(BufferClearFrom(p, p.m_length));
      p.Reset();
    }
  }
  return frames;
}

std::vector<Frame> FramesByBlock(CParser& p, const Bytes& in, size_t read_size) {
  std::vector<Frame> frames;
  for (size_t at = 0; at < in.size(); at += read_size) {
    const size_t n = std::min(read_size, in.size() - at);
    PumpBytes(p, in.data() + at, n, [&](uint8_t type, const uint8_t* body, uint32_t length) {
      frames.push_back({type, Bytes(body, body + length)});
      EXPECT_TRUE(BufferClearFrom(p, length));
    });
  }
  return frames;
}

struct StreamCase {
  const char* name;
  Bytes in;
  std::vector<Frame> frames;
  CParser::State end_state;
};

class ParserStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(ParserStream, YieldsExactlyTheseFramesByteByByte) {
  CParser p;
  EXPECT_EQ(FramesByByte(p, GetParam().in), GetParam().frames);
  EXPECT_EQ(p.m_state, GetParam().end_state);
}

// Every read size, from one byte to the whole stream, gives the same frames
// through the block entry point as single bytes do.
TEST_P(ParserStream, BlockEntryAgreesForEveryReadSize) {
  const Bytes& in = GetParam().in;
  for (size_t read_size = 1; read_size <= std::max<size_t>(in.size(), 1); ++read_size) {
    CParser p;
    EXPECT_EQ(FramesByBlock(p, in, read_size), GetParam().frames) << "read size " << read_size;
    EXPECT_EQ(p.m_state, GetParam().end_state) << "read size " << read_size;
  }
}

const StreamCase kStreams[] = {
    {"CheckPassingAck", {0x11, 0x12, 0x05, 0x05, 0x11, 0x13}, {{5, {0x05}}}, CParser::Idle},
    {"EmptyBody", {0x11, 0x12, 0x07, 0x11, 0x13}, {{7, {}}}, CParser::Idle},
    {"EscapedType",
     {0x11, 0x12, 0x11, 0x14, 0x22, 0x33, 0x11, 0x13},
     {{0x11, {0x22, 0x33}}},
     CParser::Idle},
    {"EscapeAtBodyStart",
     {0x11, 0x12, 0x01, 0x11, 0x14, 0x10, 0x11, 0x13},
     {{1, {0x11, 0x10}}},
     CParser::Idle},
    {"EscapeAtBodyEnd",
     {0x11, 0x12, 0x01, 0x10, 0x11, 0x14, 0x11, 0x13},
     {{1, {0x10, 0x11}}},
     CParser::Idle},
    {"PlainPairBytesInBody",
     {0x11, 0x12, 0x12, 0x12, 0x13, 0x14, 0x11, 0x13},
     {{0x12, {0x12, 0x13, 0x14}}},
     CParser::Idle},
    {"DoubledMarkerStartsNothing", {0x11, 0x11, 0x12, 0x01, 0x05, 0x11, 0x13}, {}, CParser::Idle},
    {"StartPairInsideBodyLosesBoth",
     {0x11, 0x12, 0x05, 0xAA, 0x11, 0x12, 0x05, 0xBB, 0x11, 0x13},
     {},
     CParser::Idle},
    {"BadPairAfterEscapedType",
     {0x11, 0x12, 0x11, 0x15, 0x11, 0x12, 0x05, 0x05, 0x11, 0x13},
     {{5, {0x05}}},
     CParser::Idle},
    {"BadPairInBodyThenGoodFrame",
     {0x11, 0x12, 0x05, 0x11, 0x00, 0x11, 0x12, 0x05, 0x05, 0x11, 0x13},
     {{5, {0x05}}},
     CParser::Idle},
    {"NoiseAndKeepAlives",
     {0x00, 0x00, 0x13, 0x12, 0x14, 0xFF, 0x11, 0x13, 0x00},
     {},
     CParser::Idle},
    {"NoiseBetweenFrames",
     {0xAB, 0x11, 0x12, 0x05, 0x05, 0x11, 0x13, 0x00, 0x00, 0x11, 0x12, 0x02, 0x41, 0x43, 0x11,
      0x13},
     {{5, {0x05}}, {2, {0x41, 0x43}}},
     CParser::Idle},
    {"BackToBackFrames",
     {0x11, 0x12, 0x05, 0x05, 0x11, 0x13, 0x11, 0x12, 0x19, 0x19, 0x11, 0x13},
     {{5, {0x05}}, {25, {0x19}}},
     CParser::Idle},
    {"UnfinishedFrameWaits", {0x11, 0x12, 0x19, 0x01, 0x02, 0x11}, {}, CParser::PayloadEscape},
    {"TypeEscapePending", {0x11, 0x12, 0x11}, {}, CParser::TypeEscape},
    {"StartLeadPending", {0x00, 0x11}, {}, CParser::StartLead},
};

INSTANTIATE_TEST_SUITE_P(Streams, ParserStream, ::testing::ValuesIn(kStreams),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Parser, CompleteIgnoresBytesUntilReset) {
  CParser p;
  for (uint8_t b : Bytes{0x11, 0x12, 0x05, 0x05, 0x11, 0x13, 0x11, 0x12, 0x07, 0x99}) p.Feed(b);
  EXPECT_EQ(p.m_state, CParser::Complete);
  EXPECT_EQ(p.m_type, 5);
  ASSERT_EQ(p.m_length, 1u);
  EXPECT_EQ(p.m_buffer[0], 0x05);
  EXPECT_EQ(p.FeedBlock(Bytes{0x11, 0x12}.data(), 2), 0u);  // nothing consumed either
}

// Bodies up to the buffer's size arrive whole; one byte more drops the frame
// and the parser waits for the next start pair. Escapes count as one byte.
TEST(Parser, BodyLongerThanBufferIsDroppedAndNextFrameArrives) {
  for (uint32_t body_size : {CParser::kBufferSize - 1, CParser::kBufferSize,
                             CParser::kBufferSize + 1, CParser::kBufferSize * 3}) {
    for (uint8_t fill : {uint8_t{0x11}, uint8_t{0x5A}}) {
      Bytes payload(body_size - 1, fill);
      Bytes in = FrameOf(0x19, payload);
      const Bytes next = FrameOf(5, {});
      in.insert(in.end(), next.begin(), next.end());

      std::vector<Frame> expected;
      if (body_size <= CParser::kBufferSize) {
        payload.push_back(static_cast<uint8_t>(0x19 ^ ((body_size - 1) % 2 ? fill : 0)));
        expected.push_back({0x19, payload});
      }
      expected.push_back({5, {0x05}});
      SCOPED_TRACE(std::to_string(body_size) + " fill " + std::to_string(fill));
      CParser by_byte;
      EXPECT_EQ(FramesByByte(by_byte, in), expected);
      for (size_t read_size : {size_t{1}, size_t{1000}, in.size()}) {
        CParser by_block;
        EXPECT_EQ(FramesByBlock(by_block, in, read_size), expected);
      }
    }
  }
}

}  // namespace
}  // namespace velkaro
