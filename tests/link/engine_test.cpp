// The message engine: the check rule, what each frame type changes, what it
// answers, and the frames the handheld sends.
#include "link/engine.h"

#include "tests/support/frames.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;

class CountingSink : public IBoardUpdateSink {
 public:
  void PostBoardUpdate() override { ++posts; }
  int posts = 0;
};

struct EngineFixture : ::testing::Test {
  EngineFixture() { engine.m_hWndNotify = &sink; }

  bool Handle(uint8_t type, const Bytes& body) {
    return engine.HandleFrame(type, body.data(), static_cast<uint32_t>(body.size()));
  }
  // The bytes the engine queued on the link, if any.
  Bytes Sent() {
    uint8_t out[CCom::kTxSize];
    uint32_t n = 0;
    if (!com.TakeWrite(out, &n)) return {};
    return Bytes(out, out + n);
  }
  std::string Firmware() const {
    char out[CEngine::kFirmwareSize];
    engine.GetFirmware(out);
    return out;
  }
  std::string Serial() const {
    char out[CEngine::kSerialSize];
    engine.GetSerial(out);
    return out;
  }

  CCom com;
  Published<CGpsData> gps;
  CEngine engine{com, gps};
  CountingSink sink;
};

TEST_F(EngineFixture, FirmwareReportIsStoredAndAnsweredWithSerialRequest) {
  EXPECT_TRUE(Handle(1, {0x31, 0x2E, 0x30, 0x33, 0x00, 0x1D}));
  EXPECT_EQ(Firmware(), "1.03");
  EXPECT_EQ(Sent(), (Bytes{0x11, 0x12, 0x02, 0x00, 0x11, 0x13}));
  EXPECT_EQ(sink.posts, 0);
}

// Without a zero byte the text runs to the end of the body, check byte
// included; a text too long for the field is cut to 236 characters.
TEST_F(EngineFixture, FirmwareWithoutZeroIsTakenWholeAndLongTextIsCut) {
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

TEST_F(EngineFixture, AckAndUnknownTypesAreAcceptedWithoutEffect) {
  EXPECT_TRUE(Handle(5, {0x05}));
  EXPECT_TRUE(Handle(7, {0x41, 0x46}));
  EXPECT_EQ(Firmware(), "0.00");
  EXPECT_EQ(Serial(), "XXXXXX");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(sink.posts, 0);
  EXPECT_FALSE(gps.Read().m_bFresh);
}

// Any frame that fails the check leaves every piece of state as it was.
class EngineRejects : public EngineFixture,
                      public ::testing::WithParamInterface<std::pair<uint8_t, Bytes>> {};

TEST_P(EngineRejects, FrameThatFailsTheCheck) {
  const auto& [type, body] = GetParam();
  EXPECT_FALSE(CEngine::CheckFrame(type, body.data(), static_cast<uint32_t>(body.size())));
  EXPECT_FALSE(Handle(type, body));
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
    Bodies, EngineRejects,
    ::testing::Values(std::pair<uint8_t, Bytes>{1, {}}, std::pair<uint8_t, Bytes>{2, {}},
                      std::pair<uint8_t, Bytes>{25, {}}, std::pair<uint8_t, Bytes>{5, {}},
                      std::pair<uint8_t, Bytes>{1, {0x31, 0x2E, 0x30, 0x33, 0x00, 0x1C}},
                      std::pair<uint8_t, Bytes>{1, {0x31, 0x2F, 0x30, 0x33, 0x00, 0x1D}},
                      std::pair<uint8_t, Bytes>{2, {'Z', 0, 'Z'}},
                      std::pair<uint8_t, Bytes>{25, GpsBodyWithOneByteChanged()}));

TEST_F(EngineFixture, EveryAcceptedGpsFramePostsOnceAndPublishes) {
  Bytes body(152, 0);
  body[129] = 0xE0;
  body.push_back(0x19 ^ 0xE0);
  EXPECT_TRUE(Handle(25, body));
  EXPECT_TRUE(Handle(25, body));  // the same content still posts
  EXPECT_EQ(sink.posts, 2);
  const CGpsData record = gps.Read();
  EXPECT_TRUE(record.m_bFresh);
  EXPECT_EQ(record.m_fixMode, 7);
  EXPECT_TRUE(Sent().empty());
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

struct EncodeCase {
  uint8_t type;
  Bytes payload;
  Bytes wire;
};

class EngineEncodes : public EngineFixture, public ::testing::WithParamInterface<EncodeCase> {};

TEST_P(EngineEncodes, FrameOnTheWire) {
  const EncodeCase& c = GetParam();
  EXPECT_TRUE(engine.SendFrame(c.type, c.payload.data(), static_cast<uint32_t>(c.payload.size())));
  EXPECT_EQ(Sent(), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EngineEncodes,
    ::testing::Values(
        EncodeCase{1, {}, {0x11, 0x12, 0x01, 0x00, 0x11, 0x13}},
        EncodeCase{2, {}, {0x11, 0x12, 0x02, 0x00, 0x11, 0x13}},
        EncodeCase{
            0x11, {0x11, 0x20}, {0x11, 0x12, 0x11, 0x14, 0x11, 0x14, 0x20, 0x00, 0x11, 0x13}},
        EncodeCase{0x13, {0x12, 0x14}, {0x11, 0x12, 0x13, 0x12, 0x14, 0x00, 0x11, 0x13}}));

// 122 plain bytes make a 128-byte frame; one more, or escapes that push it
// past 128, would be cut by the slot and lose the end pair, so nothing goes.
TEST_F(EngineFixture, FrameThatWouldNotFitIsRefusedWhole) {
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
