#include <gtest/gtest.h>

#include "PollHarness.h"

namespace korvane {
namespace {

class DisplayRegsTest : public ::testing::Test {
 protected:
  // Register at wire address `address` (entry address + 1 of slot 1).
  void Set(int address, std::uint16_t raw) { h.image.SetHoldingRegister(1, address + 1, raw); }
  std::string Box(ValueBox box) const { return h.view.Shown.at(box); }

  test::PollHarness h;
};

// --- scaling: signed PV, SP, Out; unsigned Kp, Ki, Kd ---------------------

TEST_F(DisplayRegsTest, DefaultMapShowsScaledValues) {
  Set(1, 0x00FA);   // PV, factor 1
  Set(0, 0x004B);   // SP 75
  Set(2, 0x0190);   // Out 400 * 0.1
  Set(13, 0x0064);  // Kp 100 * 0.1
  Set(11, 0x0032);  // Ki 50 * 0.01
  Set(12, 0x0007);  // Kd 7
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::PV), " 250.000");
  EXPECT_EQ(Box(ValueBox::SetPt), "  75.000");
  EXPECT_EQ(Box(ValueBox::Out), "  40.000");
  EXPECT_EQ(Box(ValueBox::K), "  10.000");
  EXPECT_EQ(Box(ValueBox::Ki), "   0.500");
  EXPECT_EQ(Box(ValueBox::Kd), "   7.000");
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 250.0f);
  EXPECT_FLOAT_EQ(h.cycle.Values().SP, 75.0f);
  EXPECT_FLOAT_EQ(h.cycle.Values().Out, 40.0f);
  EXPECT_FLOAT_EQ(h.cycle.Values().Ki, 0.5f);
}

TEST_F(DisplayRegsTest, OutIsSigned) {
  Set(2, 0xFFF6);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::Out), "  -1.000");
  EXPECT_FLOAT_EQ(h.cycle.Values().Out, -1.0f);
}

TEST_F(DisplayRegsTest, PvAndSetpointAreSigned) {
  Set(1, 0xFF9C);
  Set(0, 0x8000);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::PV), "-100.000");
  EXPECT_EQ(Box(ValueBox::SetPt), "-32768.000");
}

TEST_F(DisplayRegsTest, KpIsUnsigned) {
  Set(13, 0x9C40);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::K), "4000.000");
  EXPECT_FLOAT_EQ(h.cycle.Values().Kp, 4000.0f);
}

TEST_F(DisplayRegsTest, KiAndKdAreUnsigned) {
  Set(11, 0xFFFF);
  Set(12, 0xFFFF);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::Ki), " 655.350");
  EXPECT_EQ(Box(ValueBox::Kd), "65535.000");
}

TEST_F(DisplayRegsTest, SystemDecimalSeparatorIsUsed) {
  Set(0, 25);
  h.view.Separator = ',';
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::SetPt), "  25,000");
}

// --- Update Values on Poll ------------------------------------------------

TEST_F(DisplayRegsTest, UncheckedUpdateKeepsTheFourEntryBoxesAndFactors) {
  Set(13, 100);
  h.cycle.DisplayRegs();
  const float kpBefore = h.cycle.Values().Kp;
  h.view.Update = false;
  h.view.Shown.clear();
  Set(1, 5);
  Set(2, 50);
  Set(0, 60);
  Set(13, 900);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::PV), "   5.000");
  EXPECT_EQ(Box(ValueBox::Out), "   5.000");
  EXPECT_EQ(h.view.Shown.count(ValueBox::SetPt), 0u);
  EXPECT_EQ(h.view.Shown.count(ValueBox::K), 0u);
  EXPECT_EQ(h.view.Shown.count(ValueBox::Ki), 0u);
  EXPECT_EQ(h.view.Shown.count(ValueBox::Kd), 0u);
  EXPECT_FLOAT_EQ(h.cycle.Values().SP, 60.0f);  // SP keeps updating, only its box does not
  EXPECT_FLOAT_EQ(h.cycle.Values().Kp, kpBefore);
}

// --- addresses ---------------------------------------------------------------

TEST_F(DisplayRegsTest, AddressesOutsideTheRegistersNeverMatch) {
  Set(1, 10);
  h.cycle.DisplayRegs();
  h.view.Shown.clear();
  for (std::int32_t address : {-1, 65536, INT32_MAX, INT32_MIN}) {
    h.settings.Map.AddrPV = address;
    h.image.SetHoldingRegister(1, 21, 77);
    h.cycle.DisplayRegs();
    EXPECT_EQ(h.view.Shown.count(ValueBox::PV), 0u) << address;
    EXPECT_FLOAT_EQ(h.cycle.Values().PV, 10.0f) << address;
  }
}

TEST_F(DisplayRegsTest, LastPolledEntryMatchesAddress19) {
  h.settings.Map.AddrKd = 19;
  Set(19, 3);
  h.cycle.DisplayRegs();
  EXPECT_EQ(Box(ValueBox::Kd), "   3.000");
}

TEST_F(DisplayRegsTest, BoxesAreFilledInRegisterOrder) {
  h.cycle.DisplayRegs();
  // Default map: SP 0, PV 1, Out 2, Ki 11, Kd 12, Kp 13.
  std::vector<ValueBox> order;
  for (const auto& call : h.view.ShowCalls) order.push_back(call.first);
  EXPECT_EQ(order, (std::vector<ValueBox>{ValueBox::SetPt, ValueBox::PV, ValueBox::Out, ValueBox::Ki,
                                          ValueBox::Kd, ValueBox::K}));
}

TEST_F(DisplayRegsTest, OnlyHoldingRegistersInValueFormatZero) {
  Set(1, 10);
  h.settings.Poll.TableType = 2;
  h.cycle.DisplayRegs();
  h.settings.Poll.TableType = 3;
  h.settings.Poll.ValueFormat = 1;
  h.cycle.DisplayRegs();
  EXPECT_TRUE(h.view.ShowCalls.empty());
  EXPECT_FLOAT_EQ(h.cycle.Values().PV, 0.0f);
}

}  // namespace
}  // namespace korvane
