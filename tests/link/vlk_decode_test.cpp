// `vlk decode`: the built tool on byte files, line by line, and its exit
// status for wrong usage and unreadable input.
#include "tests/support/child_process.h"
#include "tests/support/frames.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::FrameOf;
namespace fs = std::filesystem;

// `vlk decode` with `args`, standard input from `in`; standard error is
// dropped.
testing::ProgramRun RunDecode(std::vector<std::string> args, const std::string& in = "/dev/null") {
  args.insert(args.begin(), "decode");
  return testing::RunProgram(VELKARO_BIN_DIR "/vlk", args,
                             {.in = in, .out = "", .err = "/dev/null", .dir = {}});
}

class VlkDecode : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const fs::path path = dir_ / name;
    testing::WriteAll(path, bytes);
    return path.string();
  }

  testing::TempFolder folder_;
  const fs::path dir_ = folder_.path();
};

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes ExampleGpsPayload(uint8_t status) {
  Bytes p(152, 0);
  const uint8_t head[] = {0, 0, 0, 0, 7, 4, 0x07, 0xD6, 9, 5, 3};
  std::copy(std::begin(head), std::end(head), p.begin());
  const uint8_t lat[] = {0x08, 0xB0, 0xBB, 0x40}, lon[] = {0xF0, 0x48, 0x41, 0xE0};
  std::copy(std::begin(lat), std::end(lat), p.begin() + 31);
  std::copy(std::begin(lon), std::end(lon), p.begin() + 35);
  p[129] = status;
  return p;
}

struct DecodeCase {
  const char* name;
  Bytes in;
  std::string out;
};

class VlkDecodeCases : public VlkDecode, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(VlkDecodeCases, PrintsFrames) {
  const testing::ProgramRun r = RunDecode({Write("in.bin", GetParam().in)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, GetParam().out);
}

Bytes BadCheck(Bytes frame) {
  frame[frame.size() - 3] ^= 0x01;  // the check byte (never 11 in these frames)
  return frame;
}

const DecodeCase kCases[] = {
    {"Firmware",
     {0x11, 0x12, 0x01, 0x31, 0x2E, 0x30, 0x33, 0x00, 0x1D, 0x11, 0x13},
     "frame 1 6 ok\nfirmware 1.03\nsend 11 12 02 00 11 13\n"},
    {"SerialKeepsEight", FrameOf(2, {'A', '1', 'B', '2', 'C', '3', 'D', '4', 'E', '5', 0}),
     "frame 2 12 ok\nserial A1B2C3D4\n"},
    {"AckAndUnknown", Cat({FrameOf(5, {}), FrameOf(9, {1, 2})}), "frame 5 1 ok\nframe 9 3 ok\n"},
    {"GpsLocked", FrameOf(25, ExampleGpsPayload(0xE0)),
     "frame 25 153 ok\nfix 07/04/2006 09:05:03 40.5000 N 73.2500 W\nmode 7\n"},
    {"BadCheckChangesNothing",
     Cat({BadCheck(FrameOf(25, ExampleGpsPayload(0xE0))), BadCheck(FrameOf(1, {'9'}))}),
     "frame 25 153 bad\nframe 1 2 bad\n"},
    {"TextBytesUnescaped", FrameOf(1, {'v', 0x11, ' ', 0xE9, 0x12, 0}),
     "frame 1 7 ok\nfirmware v\x11 \xE9\x12\nsend 11 12 02 00 11 13\n"},
    {"NoiseBetweenAndUnfinishedTail",
     Cat({Bytes{0xAB, 0xCD}, FrameOf(5, {}), Bytes{0, 0}, FrameOf(2, {'7', 0}),
          Bytes{0x11, 0x12, 0x19, 0x01}}),
     "frame 5 1 ok\nframe 2 3 ok\nserial 7\n"},
};

INSTANTIATE_TEST_SUITE_P(Streams, VlkDecodeCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Large enough that frames straddle the tool's 4096-byte reads.
TEST_F(VlkDecode, ReadsStandardInputAcrossReadBoundaries) {
  Bytes in;
  std::string expected;
  for (int i = 0; i < 60; ++i) {
    in.push_back(0x00);
    const Bytes frame = FrameOf(25, ExampleGpsPayload(0xE0));
    in.insert(in.end(), frame.begin(), frame.end());
    expected += "frame 25 153 ok\nfix 07/04/2006 09:05:03 40.5000 N 73.2500 W\nmode 7\n";
  }
  const testing::ProgramRun r = RunDecode({}, Write("stream.bin", in));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expected);
}

TEST_F(VlkDecode, ExitStatusForUsageAndMissingFile) {
  EXPECT_EQ(RunDecode({(dir_ / "missing.bin").string()}).status, 1);
  EXPECT_EQ(RunDecode({"a", "b"}).status, 2);
}

}  // namespace
}  // namespace velkaro
