// Addressing and bounds of the register image.
#include <gtest/gtest.h>

#include <climits>

#include "master/MasterState.h"

namespace korvane {
namespace {

TEST(RegisterImage, StartsZeroed) {
  RegisterImage image;
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
  EXPECT_EQ(image.InputRegister(5, 10000), 0);
  EXPECT_EQ(image.CoilWord(3, 625), 0);
}

TEST(RegisterImage, HoldingRegistersAreSignedInputRegistersUnsigned) {
  RegisterImage image;
  image.SetHoldingRegister(1, 7, 0xFF9C);
  image.SetInputRegister(1, 7, 0xFF9C);
  EXPECT_EQ(image.HoldingRegister(1, 7), -100);
  EXPECT_EQ(image.InputRegister(1, 7), 65436);
  image.SetHoldingRegister(1, 8, 0x8000);
  EXPECT_EQ(image.HoldingRegister(1, 8), -32768);
  image.SetHoldingRegister(1, 9, 0x7FFF);
  EXPECT_EQ(image.HoldingRegister(1, 9), 32767);
}

TEST(RegisterImage, Coil17IsWord2Bit0) {
  RegisterImage image;
  image.SetCoil(1, 17, true);
  EXPECT_EQ(image.CoilWord(1, 2), 1);
  EXPECT_EQ(image.CoilWord(1, 1), 0);
  EXPECT_TRUE(image.Coil(1, 17));
  image.SetCoil(1, 16, true);
  EXPECT_EQ(image.CoilWord(1, 1), 0x8000);
}

TEST(RegisterImage, ClearingABitKeepsTheOthers) {
  RegisterImage image;
  for (int k = 1; k <= 16; ++k) image.SetDiscreteInput(2, k, true);
  image.SetDiscreteInput(2, 5, false);
  EXPECT_EQ(image.DiscreteWord(2, 1), 0xFFEF);
  EXPECT_EQ(image.CoilWord(2, 1), 0);  // other table untouched
}

TEST(RegisterImage, SlotsAreSeparate) {
  RegisterImage image;
  image.SetHoldingRegister(2, 1, 5);
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
  EXPECT_EQ(image.HoldingRegister(2, 1), 5);
}

TEST(RegisterImage, LastEntriesOfEveryTableAreReachable) {
  RegisterImage image;
  image.SetHoldingRegister(5, 10000, 1);
  image.SetInputRegister(5, 10000, 2);
  image.SetCoil(5, 10000, true);
  EXPECT_EQ(image.HoldingRegister(5, 10000), 1);
  EXPECT_EQ(image.InputRegister(5, 10000), 2);
  EXPECT_EQ(image.CoilWord(5, 625), 0x8000);
}

TEST(RegisterImage, OutsideTheTablesWritesAreIgnoredAndReadsGiveZero) {
  RegisterImage image;
  for (int slot : {0, 6, -1, INT_MIN, INT_MAX}) {
    image.SetHoldingRegister(slot, 1, 9);
    image.SetCoil(slot, 1, true);
    EXPECT_EQ(image.HoldingRegister(slot, 1), 0);
    EXPECT_FALSE(image.Coil(slot, 1));
  }
  for (int number : {0, 10001, -1, INT_MIN, INT_MAX}) {
    image.SetHoldingRegister(1, number, 9);
    image.SetInputRegister(1, number, 9);
    image.SetCoil(1, number, true);
    image.SetDiscreteInput(1, number, true);
    EXPECT_EQ(image.HoldingRegister(1, number), 0);
    EXPECT_EQ(image.InputRegister(1, number), 0);
    EXPECT_FALSE(image.Coil(1, number));
  }
  EXPECT_EQ(image.CoilWord(1, 0), 0);
  EXPECT_EQ(image.CoilWord(1, 626), 0);
  // Nothing leaked into the neighbouring slots' first and last entries.
  EXPECT_EQ(image.HoldingRegister(1, 1), 0);
  EXPECT_EQ(image.HoldingRegister(1, 10000), 0);
  EXPECT_EQ(image.HoldingRegister(2, 1), 0);
  EXPECT_EQ(image.CoilWord(1, 625), 0);
}

}  // namespace
}  // namespace korvane
