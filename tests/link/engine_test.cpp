// The message engine: the check rule, what each frame type changes, what it
// answers, and the frames the handheld sends.
#include "link/engine.h"

#include "tests/support/fake_clock.h"
#include "tests/support/link_helpers.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;

using testing::CountingSink;

struct EngineFixture : ::testing::Test {
  EngineFixture() { engine.m_hWndNotify = &sink; }

  bool Handle(uint8_t type, const Bytes& body) {
    return engine.HandleFrame(type, body.data(), static_cast<uint32_t>(body.size()));
  }
  // The bytes the engine queued on the link, if any.
  Bytes Sent() { return testing::TakeWrite(com); }
  std::string Firmware() const { return testing::FirmwareOf(engine); }
  std::string Serial() const { return testing::SerialOf(engine); }

  CCom com;
  Published<CGpsData> gps;
  testing::FakeClock clock;
  CEngine engine{com, gps, clock};
  CountingSink sink;
};

// The firmware report is stored and answered with the serial request.
// Without a zero byte the text runs to the end of the body, check byte
// included; a text too long for the field is cut to 236 characters.
TEST_F(EngineFixture, FirmwareIsStoredAnsweredAndCut) {
  EXPECT_TRUE(Handle(1, {0x31, 0x2E, 0x30, 0x33, 0x00, 0x1D}));
  EXPECT_EQ(Firmware(), "1.03");
  EXPECT_EQ(Sent(), testing::kSerialRequest);
  EXPECT_EQ(sink.posts, 0);

  EXPECT_TRUE(Handle(1, {'A', 'B', 'A' ^ 'B' ^ 1}));
  EXPECT_EQ(Firmware(), std::string("AB") + char('A' ^ 'B' ^ 1));

  Bytes body(300, 'v');
  body.push_back(1);  // 300 'v' cancel out in pairs; 1 ^ 1 = 0
  EXPECT_TRUE(Handle(1, body));
  EXPECT_EQ(Firmware(), std::string(236, 'v'));
  EXPECT_EQ(engine.m_szFirmware[236], '\0');
}

TEST_F(EngineFixture, SerialKeepsAtMostEightCharacters) {
  const char* text = "A1B2C3D4E5";
  Bytes body(text, text + 10);
  body.push_back(0);
  uint8_t check = 2;
  for (uint8_t b : body) check ^= b;
  body.push_back(check);
  EXPECT_TRUE(Handle(2, body));
  EXPECT_EQ(Serial(), "A1B2C3D4");
  EXPECT_TRUE(
      std::all_of(engine.m_szSerial + 8, engine.m_szSerial + 32, [](char c) { return c == 0; }));
  EXPECT_TRUE(Sent().empty());

  EXPECT_TRUE(Handle(2, {'Z', 0, 'Z' ^ 2}));  // a shorter one replaces it whole
  EXPECT_EQ(Serial(), "Z");
}

// Acks and unknown types are accepted, and any frame that fails the check
// refused; neither changes any piece of state.
struct NoEffectCase {
  uint8_t type;
  Bytes body;
  bool accepted;
};

class EngineNoEffect : public EngineFixture, public ::testing::WithParamInterface<NoEffectCase> {};

TEST_P(EngineNoEffect, FrameChangesNothing) {
  const auto& [type, body, accepted] = GetParam();
  EXPECT_EQ(CEngine::CheckFrame(type, body.data(), static_cast<uint32_t>(body.size())), accepted);
  EXPECT_EQ(Handle(type, body), accepted);
  EXPECT_EQ(Firmware(), "0.00");
  EXPECT_EQ(Serial(), "XXXXXX");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(sink.posts, 0);
  EXPECT_FALSE(gps.Read().m_bFresh);
}

Bytes GpsBodyWithOneByteChanged() {
  Bytes body(152, 0x00);
  body.push_back(0x19);  // valid check...
  body[40] = 0x01;       // ...until one payload byte changes
  return body;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, EngineNoEffect,
    ::testing::Values(NoEffectCase{5, {0x05}, true}, NoEffectCase{7, {0x41, 0x46}, true},
                      NoEffectCase{1, {}, false}, NoEffectCase{2, {}, false},
                      NoEffectCase{25, {}, false}, NoEffectCase{5, {}, false},
                      NoEffectCase{1, {0x31, 0x2E, 0x30, 0x33, 0x00, 0x1C}, false},
                      NoEffectCase{1, {0x31, 0x2F, 0x30, 0x33, 0x00, 0x1D}, false},
                      NoEffectCase{2, {'Z', 0, 'Z'}, false},
                      NoEffectCase{25, GpsBodyWithOneByteChanged(), false}));

// Each record is stamped on the engine's clock, the one the view judges
// staleness with, whether it came from a frame or from another source.
TEST_F(EngineFixture, EveryAcceptedGpsFramePostsOnceAndPublishesStampedOnItsClock) {
  Bytes body(152, 0);
  body[129] = 0xE0;
  body.push_back(0x19 ^ 0xE0);
  EXPECT_TRUE(Handle(25, body));
  clock.ahead_ms += 700;
  EXPECT_TRUE(Handle(25, body));  // the same content still posts
  EXPECT_EQ(sink.posts, 2);
  const CGpsData record = gps.Read();
  EXPECT_TRUE(record.m_bFresh);
  EXPECT_EQ(record.m_fixMode, 7);
  EXPECT_EQ(record.m_receivedMs, clock.NowMonotonicMs());
  EXPECT_TRUE(record.IsLockedAt(clock.NowMonotonicMs() + CGpsData::kStaleAfterMs));
  EXPECT_FALSE(record.IsLockedAt(clock.NowMonotonicMs() + CGpsData::kStaleAfterMs + 1));
  EXPECT_TRUE(Sent().empty());

  CGpsData other = record;
  other.m_receivedMs = 1;  // whatever the source says, the engine's clock stamps it
  clock.ahead_ms += 300;
  engine.PublishFix(other);
  EXPECT_EQ(gps.Read().m_receivedMs, clock.NowMonotonicMs());
  EXPECT_EQ(sink.posts, 3);
}

// A body shorter than the payload decodes as if zeros followed, and the
// engine reads nothing past the body it was given (ASan would catch it).
TEST_F(EngineFixture, ShortGpsBodyDecodesWithZeros) {
  Bytes body = {0, 0, 0, 0, 7, 4, 0x07, 0xD6, 0x19 ^ 7 ^ 4 ^ 0x07 ^ 0xD6};
  EXPECT_TRUE(Handle(25, body));
  const CGpsData record = gps.Read();
  EXPECT_EQ(record.m_month, 7);
  EXPECT_EQ(record.m_day, 4);
  EXPECT_EQ(record.m_year, 2006);
  EXPECT_EQ(record.m_raw[8], body[8]);  // the check byte lands where the hour would be
  EXPECT_EQ(record.m_raw[9], 0);
  EXPECT_EQ(record.m_fixMode, 0);
}

// A handler re-entered from inside HandleFrame is dropped whole.
class ReenteringSink : public IBoardUpdateSink {
 public:
  void PostBoardUpdate() override {
    const uint8_t ack[] = {0x05};
    inner_result = engine->HandleFrame(5, ack, 1);
  }
  CEngine* engine = nullptr;
  bool inner_result = true;
};

TEST_F(EngineFixture, NestedCallIsDroppedAndGuardIsReleased) {
  ReenteringSink reentering;
  reentering.engine = &engine;
  engine.m_hWndNotify = &reentering;
  Bytes body(152, 0);
  body.push_back(0x19);
  EXPECT_TRUE(Handle(25, body));
  EXPECT_FALSE(reentering.inner_result);
  EXPECT_TRUE(Handle(5, {0x05}));  // the guard is clear again afterwards
}

// Marker bytes in the type and payload go out escaped. 122 plain bytes make
// a 128-byte frame; one more, or escapes that push it past 128, would be cut
// by the slot and lose the end pair, so nothing goes.
TEST_F(EngineFixture, SendFrameEscapesAndRefusesWhatWouldNotFit) {
  const Bytes escaped_type = {0x11, 0x20}, plain_pairs = {0x12, 0x14};
  EXPECT_TRUE(engine.SendFrame(0x11, escaped_type.data(), 2));
  EXPECT_EQ(Sent(), (Bytes{0x11, 0x12, 0x11, 0x14, 0x11, 0x14, 0x20, 0x00, 0x11, 0x13}));
  EXPECT_TRUE(engine.SendFrame(0x13, plain_pairs.data(), 2));
  EXPECT_EQ(Sent(), (Bytes{0x11, 0x12, 0x13, 0x12, 0x14, 0x00, 0x11, 0x13}));

  Bytes fits(122, 0x20);
  EXPECT_TRUE(engine.SendFrame(9, fits.data(), 122));
  const Bytes sent = Sent();
  ASSERT_EQ(sent.size(), 128u);
  EXPECT_EQ(Bytes(sent.end() - 3, sent.end()), (Bytes{0x00, 0x11, 0x13}));

  Bytes too_long(123, 0x20);
  EXPECT_FALSE(engine.SendFrame(9, too_long.data(), 123));
  Bytes escaped(62, 0x11);  // 124 wire bytes of payload
  EXPECT_FALSE(engine.SendFrame(9, escaped.data(), 62));
  EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace velkaro
