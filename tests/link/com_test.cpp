// The serial link: which port the registry searches choose, what a failed
// open leaves, and the one-slot transmit buffer.
#include "link/com.h"

#include "tests/support/fake_serial_port.h"
#include "tests/support/link_helpers.h"
#include "tests/support/memory_device_registry.h"
#include "tests/support/recording_message_box.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

using testing::Bytes;
using testing::FakeOpener;
using testing::MemoryDeviceRegistry;
using testing::RecordingMessageBox;
constexpr auto Take = testing::TakeWrite;

struct RegistryEntry {
  std::string key;
  std::optional<std::u16string> pnp_id;
  std::optional<std::u16string> name;
};

struct SearchCase {
  const char* title;
  std::vector<RegistryEntry> keys;
  std::string port;
};

MemoryDeviceRegistry Build(const std::vector<RegistryEntry>& entries) {
  MemoryDeviceRegistry registry;
  for (const RegistryEntry& e : entries) {
    registry.AddKey(e.key);
    if (e.pnp_id) registry.SetValue(e.key, "PnpId", *e.pnp_id);
    if (e.name) registry.SetValue(e.key, "Name", *e.name);
  }
  return registry;
}

class PortSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(PortSearch, ChoosesPort) {
  EXPECT_EQ(FindBoardPort(Build(GetParam().keys)), GetParam().port);
}

const std::u16string kLongName = u"/dev/" + std::u16string(123, u'x');  // 128 characters

const SearchCase kSearches[] = {
    {"EmptyRegistry", {}, "COM1:"},
    {"QuatechCard", {{"Drivers\\Active\\03", u"Quatech SSP-100", u"COM4:"}}, "COM4:"},
    {"CfSerialCard", {{"Drivers\\Active\\Serial", u"CF-Serial_I-O v2", u"COM6:"}}, "COM6:"},
    {"LowerCaseDoesNotMatch", {{"Drivers\\Active\\03", u"quatech", u"COM4:"}}, "COM1:"},
    {"ShortPrefixDoesNotMatch", {{"Drivers\\Active\\03", u"Quatec", u"COM4:"}}, "COM1:"},
    {"CardWithoutNameIsPassedOver",
     {{"Drivers\\Active\\01", u"Quatech", std::nullopt},
      {"Drivers\\Active\\02", u"CF-Serial_I-O", u"COM5:"}},
     "COM5:"},
    {"KeyWithoutPnpIdIsPassedOver",
     {{"Drivers\\Active\\01", std::nullopt, u"COM9:"},
      {"Drivers\\Active\\02", u"Quatech", u"COM2:"}},
     "COM2:"},
    {"FirstMatchInEnumerationOrderWins",
     {{"Drivers\\Active\\09", u"Quatech", u"COM7:"}, {"Drivers\\Active\\01", u"Quatech", u"COM8:"}},
     "COM7:"},
    {"CardBeatsSocket",
     {{"Drivers\\Active\\00", u"Socket CF", u"COM3:"},
      {"Drivers\\Active\\12", u"Quatech", u"COM4:"}},
     "COM4:"},
    {"SocketInNumberedKey", {{"Drivers\\Active\\07", u"Socket Communications", u"COM3:"}}, "COM3:"},
    {"SocketNeedsTwoDigitKey", {{"Drivers\\Active\\7", u"Socket", u"COM3:"}}, "COM1:"},
    {"SocketKeysStopAtFifty",
     {{"Drivers\\Active\\51", u"Socket", u"COM3:"}, {"Drivers\\Active\\50", u"Socket", u"COM2:"}},
     "COM2:"},
    {"SocketWithoutNameGoesOn",
     {{"Drivers\\Active\\04", u"Socket", std::nullopt},
      {"Drivers\\Active\\05", u"Socket", u"COM8:"}},
     "COM8:"},
    {"LowBytesAndFirstNul", {{"Drivers\\Active\\01", u"Quatech", u"\u0143OM4:\0junk"}}, "COM4:"},
    {"OverlongNameIsPassedOver",
     {{"Drivers\\Active\\01", u"Quatech", kLongName}, {"Drivers\\Active\\02", u"Socket", u"COM3:"}},
     "COM3:"},
    {"PnpIdTooLongToReadIsPassedOver",
     {{"Drivers\\Active\\01", u"Quatech" + std::u16string(248, u' '), u"COM4:"}},
     "COM1:"},
    {"LongestReadablePnpId",
     {{"Drivers\\Active\\01", u"Quatech" + std::u16string(247, u' '), u"COM4:"}},
     "COM4:"},
    {"NameOf127Fits",
     {{"Drivers\\Active\\01", u"Quatech", kLongName.substr(1)}},
     "dev/" + std::string(123, 'x')},
};

INSTANTIATE_TEST_SUITE_P(Registry, PortSearch, ::testing::ValuesIn(kSearches),
                         [](const auto& info) { return std::string(info.param.title); });

struct ComFixture : ::testing::Test {
  MemoryDeviceRegistry registry;
  FakeOpener opener;
  RecordingMessageBox messages;
  CCom com;
};

TEST_F(ComFixture, OpensSearchedPortAndPurgesBothQueues) {
  registry.SetValue("Drivers\\Active\\07", "PnpId", u"Socket");
  registry.SetValue("Drivers\\Active\\07", "Name", u"COM3:");
  com.Open(registry, opener, messages);
  EXPECT_EQ(opener.Names(), std::vector<std::string>{"COM3:"});
  ASSERT_NE(com.Port(), nullptr);
  EXPECT_EQ(com.PortName(), "COM3:");
  EXPECT_EQ(opener.Last()->SettingsApplied(), 1);
  EXPECT_EQ(opener.Last()->Purges(),
            (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}}));
  EXPECT_TRUE(messages.shown.empty());

  // --port names the device itself: no search.
  FakeOpener other;
  CCom overridden;
  overridden.Open(registry, other, messages, "/dev/pts/9");
  EXPECT_EQ(other.Names(), std::vector<std::string>{"/dev/pts/9"});
}

TEST_F(ComFixture, FailedOpenLeavesNoPortAndSaysSo) {
  opener.SetFail(true);
  com.Open(registry, opener, messages);
  EXPECT_EQ(opener.Names(), std::vector<std::string>{"COM1:"});
  EXPECT_EQ(com.Port(), nullptr);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Cannot Open Connection To Board."});
}

TEST_F(ComFixture, RefusedSettingsCloseThePort) {
  opener.Next().RefuseSettings();
  com.Open(registry, opener, messages, "/dev/ttyUSB0");
  EXPECT_EQ(com.Port(), nullptr);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"Could not SetCommState"});
}

// The last request before the take wins, is taken once only, and is cut
// to the slot's 128 bytes.
TEST_F(ComFixture, LastRequestBeforeTheTakeWinsAndIsCutTo128) {
  const Bytes six = {1, 2, 3, 4, 5, 6};
  const Bytes two = {7, 8};
  EXPECT_TRUE(com.RequestWrite(six.data(), 6));
  EXPECT_TRUE(com.RequestWrite(two.data(), 2));
  EXPECT_TRUE(com.m_hWriteEvent.IsSet());
  EXPECT_EQ(Take(com), two);
  EXPECT_FALSE(com.m_hWriteEvent.IsSet());
  EXPECT_TRUE(Take(com).empty());

  Bytes big(200);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i);
  com.RequestWrite(big.data(), 200);
  EXPECT_EQ(Take(com), Bytes(big.begin(), big.begin() + 128));
}

// A requester and a taker racing: every take sees one whole request (never
// a mix of two), and the last request is never lost. ThreadSanitizer checks
// the hand-over itself.
TEST_F(ComFixture, ConcurrentRequestsAreTakenWholeAndNoneIsLostAtTheEnd) {
  constexpr int kRequests = 20000;
  std::atomic<bool> done{false};
  std::thread requester([&] {
    for (int i = 1; i <= kRequests; ++i) {
      uint8_t req[CCom::kTxSize];
      const uint32_t len = 1 + static_cast<uint32_t>(i % CCom::kTxSize);
      std::fill(req, req + len, static_cast<uint8_t>(i));
      com.RequestWrite(req, len);
    }
    done = true;
  });
  Bytes last;
  bool torn = false;
  for (;;) {
    const bool finished = done.load();
    Bytes got = Take(com);
    if (!got.empty()) {
      const uint8_t v = got[0];
      torn |= got.size() != 1u + v % CCom::kTxSize;
      torn |= std::any_of(got.begin(), got.end(), [v](uint8_t b) { return b != v; });
      last = got;
    }
    if (finished && got.empty()) break;
  }
  requester.join();
  EXPECT_FALSE(torn);
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last[0], static_cast<uint8_t>(kRequests));
  EXPECT_EQ(last.size(), 1u + kRequests % CCom::kTxSize);
}

}  // namespace
}  // namespace velkaro
