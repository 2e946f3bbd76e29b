// Mapping texts of COM names that point at the network: parsed strictly,
// with a reason for every text that is not exactly one of the two forms.
#include <gtest/gtest.h>

#include <ostream>

#include "network/NetworkTarget.h"

namespace korvane {
namespace {

struct Good {
  const char* text;
  NetworkFraming framing;
  const char* host;
  std::uint16_t port;
  const char* shown;
};

void PrintTo(const Good& g, std::ostream* os) { *os << g.text; }

class GoodTargets : public ::testing::TestWithParam<Good> {};

TEST_P(GoodTargets, ParseAndShowAsTheDeviceLineSaysThem) {
  const Good& g = GetParam();
  std::string reason = "untouched";
  const auto target = ParseNetworkTarget(g.text, &reason);
  ASSERT_TRUE(target.has_value()) << reason;
  EXPECT_EQ(target->Framing, g.framing);
  EXPECT_EQ(target->Host, g.host);
  EXPECT_EQ(target->Port, g.port);
  EXPECT_EQ(NetworkTargetText(*target), g.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Mapping, GoodTargets,
    ::testing::Values(Good{"tcp://192.0.2.10:502", NetworkFraming::Mbap, "192.0.2.10", 502, "Modbus TCP 192.0.2.10:502"},
                      Good{"rtu+tcp://gw-3.plant.example:4001", NetworkFraming::Raw, "gw-3.plant.example", 4001,
                           "RTU over TCP gw-3.plant.example:4001"},
                      Good{"tcp://[::1]:1502", NetworkFraming::Mbap, "::1", 1502, "Modbus TCP [::1]:1502"},
                      Good{"tcp://localhost:65535", NetworkFraming::Mbap, "localhost", 65535,
                           "Modbus TCP localhost:65535"}));

struct Bad {
  const char* text;
  const char* reason;
};

void PrintTo(const Bad& b, std::ostream* os) { *os << b.text; }

class BadTargets : public ::testing::TestWithParam<Bad> {};

TEST_P(BadTargets, AreRefusedWithAReason) {
  std::string reason;
  EXPECT_FALSE(ParseNetworkTarget(GetParam().text, &reason).has_value());
  EXPECT_EQ(reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Mapping, BadTargets,
    ::testing::Values(Bad{"udp://192.0.2.10:502", "Not tcp://HOST:PORT or rtu+tcp://HOST:PORT"},
                      Bad{"TCP://192.0.2.10:502", "Not tcp://HOST:PORT or rtu+tcp://HOST:PORT"},
                      Bad{" tcp://192.0.2.10:502", "Not tcp://HOST:PORT or rtu+tcp://HOST:PORT"},
                      Bad{"tcp://:502", "Bad address: no host"},
                      Bad{"tcp://192.0.2.10", "Bad address: no port"},
                      Bad{"tcp://192.0.2.10:", "Bad address: no port"},
                      Bad{"tcp://192.0.2.10:502/", "Bad address: the port is not a number"},
                      Bad{"tcp://192.0.2.10:502\n", "Bad address: the port is not a number"},
                      Bad{"tcp://192.0.2.10:65536", "Bad address: port above 65535"},
                      Bad{"tcp://192.0.2.10:0", "Bad address: port 0"},
                      Bad{"tcp://192.0.2.10:0502", "Bad address: the port has a leading zero"},
                      Bad{"tcp://user@host:502", "Bad address: host has a character not allowed"},
                      Bad{"tcp://[::1:502", "Bad address: no ']' after the IPv6 address"},
                      Bad{"tcp://[gw]:502", "Bad address: not an IPv6 address"}));

TEST(NetworkTarget, OnlySchemeTextsCountAsNetworkMappings) {
  EXPECT_TRUE(LooksLikeNetworkTarget("tcp://x:1"));
  EXPECT_TRUE(LooksLikeNetworkTarget("udp://x:1"));
  EXPECT_FALSE(LooksLikeNetworkTarget("/dev/ttyUSB0"));
  EXPECT_FALSE(LooksLikeNetworkTarget("ttyUSB0"));
}

}  // namespace
}  // namespace korvane
