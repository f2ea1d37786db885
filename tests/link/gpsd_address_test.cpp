// `--gpsd HOST[:PORT]`: what is read, the defaults, and what is refused.
#include "link/gpsd_address.h"

#include <string>

#include <gtest/gtest.h>

namespace velkaro {
namespace {

struct AddressCase {
  const char* text;
  const char* host;
  const char* port;
  const char* shown;
};

class GoodAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(GoodAddress, IsReadWithDefaultsForWhatIsLeftOut) {
  const AddressCase& c = GetParam();
  const std::optional<GpsdAddress> address = ParseGpsdAddress(c.text);
  ASSERT_TRUE(address) << c.text;
  EXPECT_EQ(address->host, c.host);
  EXPECT_EQ(address->port, c.port);
  EXPECT_EQ(address->ToString(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Gpsd, GoodAddress,
    ::testing::Values(AddressCase{"", "localhost", "2947", "localhost:2947"},
                      AddressCase{"gps.local", "gps.local", "2947", "gps.local:2947"},
                      AddressCase{"localhost:29470", "localhost", "29470", "localhost:29470"},
                      AddressCase{":3000", "localhost", "3000", "localhost:3000"},
                      AddressCase{"10.0.0.7:", "10.0.0.7", "2947", "10.0.0.7:2947"},
                      AddressCase{"[::1]:2948", "::1", "2948", "[::1]:2948"},
                      AddressCase{"[fe80::1]", "fe80::1", "2947", "[fe80::1]:2947"},
                      AddressCase{"::1", "::1", "2947", "[::1]:2947"},
                      AddressCase{"h:65535", "h", "65535", "h:65535"}));

TEST(GpsdAddress, BadPortsAndHostsAreRefused) {
  for (const char* text : {"localhost:0", "localhost:65536", "localhost:080", "localhost:http",
                           "localhost:-1", "localhost:+80", "localhost:123456", "bad host:2947",
                           "tab\there", "[::1", "[::1]2947", "[::1]:x", "[]]:1", "a]b:2947"}) {
    EXPECT_FALSE(ParseGpsdAddress(text)) << text;
  }
  EXPECT_FALSE(ParseGpsdAddress(std::string(254, 'h')));
  EXPECT_TRUE(ParseGpsdAddress(std::string(253, 'h')));
}

}  // namespace
}  // namespace velkaro
