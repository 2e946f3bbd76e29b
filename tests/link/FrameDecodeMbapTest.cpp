// The frame monitor's words for Modbus TCP frames: the MBAP header's
// transaction, then the meaning as for RTU, and what does not fit.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "link/FrameDecode.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

struct MbapCase {
  FrameDirection direction;
  const char* bytes;
  const char* meaning;
};

void PrintTo(const MbapCase& c, std::ostream* os) { *os << c.meaning; }

class DescribeMbap : public ::testing::TestWithParam<MbapCase> {};

TEST_P(DescribeMbap, GivesTheFramesMeaning) {
  FrameRecord r;
  r.Mbap = true;
  r.Direction = GetParam().direction;
  r.Bytes = test::FromHex(GetParam().bytes);
  EXPECT_EQ(DescribeFrame(r), GetParam().meaning);
}

constexpr auto TX = FrameDirection::Sent;
constexpr auto RX = FrameDirection::Received;

INSTANTIATE_TEST_SUITE_P(
    Frames, DescribeMbap,
    ::testing::Values(
        MbapCase{TX, "00 01 00 00 00 06 01 03 00 00 00 14",
                 "transaction 1, slave 1 read holding registers start 0 count 20"},
        MbapCase{TX, "00 02 00 00 00 06 01 06 00 19 00 FA", "transaction 2, slave 1 write register address 25 value 250"},
        MbapCase{RX, "00 01 00 00 00 07 01 03 04 00 FA 00 64",
                 "transaction 1, slave 1 read holding registers reply, 4 bytes: 250 100"},
        MbapCase{RX, "00 03 00 00 00 03 01 83 02",
                 "transaction 3, slave 1 read holding registers exception EC2 Illegal Data Address"},
        MbapCase{RX, "00 01 00 00 00 07 01 03 04 00", "transaction 1, incomplete frame, 10 of 13 bytes"},
        MbapCase{RX, "00 01 00 00 00 09 01 03 04 00 FA 00 64 00 00",
                 "transaction 1, length 9 does not fit the function"},
        MbapCase{RX, "47 45 54 20 2F 20 48 54", "no MBAP header"},
        MbapCase{RX, "00 01 00", "incomplete frame, 3 bytes"}));

}  // namespace
}  // namespace korvane
